#include "test_support.h"

#include <sddl.h>

#include <cstdlib>
#include <memory>
#include <cstring>

namespace vktest {

void Handle::Reset(HANDLE handle)
{
    if (IsValid())
        CloseHandle(handle_);
    handle_ = handle;
}

// --- Files and folders -----------------------------------------------------

std::string WindowsDir()
{
    char buffer[MAX_PATH] = {};
    GetWindowsDirectoryA(buffer, MAX_PATH);
    return buffer;
}

std::string ProgramDir()
{
    char buffer[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    std::string path = buffer;
    return path.substr(0, path.find_last_of('\\'));
}

std::string LocalAppData()
{
    char buffer[MAX_PATH] = {};
    GetEnvironmentVariableA("LOCALAPPDATA", buffer, MAX_PATH);
    if (buffer[0] != '\0')
        return buffer;
    GetEnvironmentVariableA("USERPROFILE", buffer, MAX_PATH);
    return std::string(buffer) + "\\AppData\\Local";
}

bool PathExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadFileBytes(const std::string& path)
{
    Handle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file.IsValid())
        return {};
    std::string bytes;
    char chunk[4096];
    DWORD read = 0;
    while (ReadFile(file.Get(), chunk, sizeof chunk, &read, nullptr) && read > 0)
        bytes.append(chunk, read);
    return bytes;
}

void WriteFileBytes(const std::string& path, const std::string& bytes)
{
    Handle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (file.IsValid())
        WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void RemoveTree(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    // A link belongs to the prefix's set-up, and what it leads to to
    // somebody else.
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return;
    SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        DeleteFileA(path.c_str());
        return;
    }
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name != "." && name != "..")
                RemoveTree(path + "\\" + name);
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
}

std::string PathOfHandle(HANDLE handle)
{
    // Vista's: bound at run time, like everything the headers for Windows
    // 2000 do not declare.
    using FinalPathFn = DWORD(WINAPI*)(HANDLE, LPSTR, DWORD, DWORD);
    const auto finalPath = reinterpret_cast<FinalPathFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetFinalPathNameByHandleA")));
    char buffer[MAX_PATH + 4] = {};
    if (finalPath == nullptr || finalPath(handle, buffer, sizeof buffer, 0) == 0)
        return "";
    const std::string path = buffer;
    return path.compare(0, 4, "\\\\?\\") == 0 ? path.substr(4) : path;
}

std::string PathOfObject(const std::string& path)
{
    const Handle handle(CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE |
                                                         FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return handle.IsValid() ? PathOfHandle(handle.Get()) : "";
}

void MakeFolders(const std::string& path)
{
    for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
        CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
    CreateDirectoryA(path.c_str(), nullptr);
}

ScopedFile::ScopedFile(std::string path, const std::string& bytes) : path_(std::move(path))
{
    WriteFileBytes(path_, bytes);
}

ScopedFile::~ScopedFile() { RemoveTree(path_); }

ScopedFolder::ScopedFolder(std::string path) : path_(std::move(path)) { MakeFolders(path_); }

ScopedFolder::~ScopedFolder() { RemoveTree(path_); }

namespace {

// The zero-separated list that the profile API returns for a null name.
std::vector<std::string> SplitZeroList(const std::vector<char>& buffer)
{
    std::vector<std::string> items;
    for (const char* item = buffer.data(); *item != '\0'; item += std::strlen(item) + 1)
        items.emplace_back(item);
    return items;
}

std::vector<char> ProfileBuffer() { return std::vector<char>(65536, '\0'); }

} // namespace

std::vector<std::string> IniSections(const std::string& path)
{
    std::vector<char> buffer = ProfileBuffer();
    GetPrivateProfileSectionNamesA(buffer.data(), static_cast<DWORD>(buffer.size()),
                                   path.c_str());
    return SplitZeroList(buffer);
}

std::vector<IniEntry> IniEntries(const std::string& path, const std::string& section)
{
    std::vector<char> buffer = ProfileBuffer();
    GetPrivateProfileSectionA(section.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()),
                              path.c_str());
    std::vector<IniEntry> entries;
    for (const std::string& line : SplitZeroList(buffer)) {
        const size_t equals = line.find('=');
        entries.push_back({line.substr(0, equals),
                           equals == std::string::npos ? std::string() : line.substr(equals + 1)});
    }
    return entries;
}

// --- Processes ---------------------------------------------------------------

ChildProcess::ChildProcess(const std::string& commandLine)
{
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    HANDLE childInput = nullptr;
    HANDLE childOutput = nullptr;
    HANDLE input = nullptr;
    HANDLE output = nullptr;
    CreatePipe(&childInput, &input, &inheritable, 0);
    CreatePipe(&output, &childOutput, &inheritable, 0);
    Handle childInputOwner(childInput);
    Handle childOutputOwner(childOutput);
    input_.Reset(input);
    output_.Reset(output);
    SetHandleInformation(input, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(output, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childInput;
    startup.hStdOutput = childOutput;
    startup.hStdError = childOutput;
    PROCESS_INFORMATION info = {};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                       &startup, &info)) {
        process_.Reset(info.hProcess);
        CloseHandle(info.hThread);
        id_ = info.dwProcessId;
    }
}

ChildProcess::~ChildProcess()
{
    if (process_.IsValid() && WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT)
        TerminateProcess(process_.Get(), kNoExitCode);
}

std::string ChildProcess::ReadLine()
{
    std::string line;
    char c;
    DWORD read = 0;
    while (ReadFile(output_.Get(), &c, 1, &read, nullptr) && read == 1) {
        if (c == '\n')
            break;
        if (c != '\r')
            line += c;
    }
    return line;
}

DWORD WaitScale()
{
    char text[16] = {};
    const DWORD length = GetEnvironmentVariableA("UI_WAIT_SCALE", text, sizeof text);
    const int scale = length > 0 && length < sizeof text ? std::atoi(text) : 1;
    return scale > 1 ? static_cast<DWORD>(scale) : 1;
}

void ChildProcess::CloseInput() { input_.Reset(); }

DWORD ChildProcess::Wait(DWORD milliseconds)
{
    if (!process_.IsValid())
        return kNoExitCode;
    if (WaitForSingleObject(process_.Get(), milliseconds) != WAIT_OBJECT_0) {
        TerminateProcess(process_.Get(), kNoExitCode);
        return kNoExitCode;
    }
    DWORD code = kNoExitCode;
    GetExitCodeProcess(process_.Get(), &code);
    return code;
}

DWORD RunProgram(const std::string& commandLine, DWORD milliseconds)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        return kNoExitCode;
    Handle process(info.hProcess);
    CloseHandle(info.hThread);
    if (WaitForSingleObject(process.Get(), milliseconds) != WAIT_OBJECT_0) {
        TerminateProcess(process.Get(), kNoExitCode);
        return kNoExitCode;
    }
    DWORD code = kNoExitCode;
    GetExitCodeProcess(process.Get(), &code);
    return code;
}

std::string ProgramPath(const std::string& fileName)
{
    return "\"" + ProgramDir() + "\\" + fileName + "\"";
}

// --- Registry ----------------------------------------------------------------

RegKey::~RegKey()
{
    if (key_ != nullptr)
        RegCloseKey(key_);
}

RegKey RegKey::Create(HKEY root, const std::string& path)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        key = nullptr;
    return RegKey(key);
}

RegKey RegKey::Open(HKEY root, const std::string& path, REGSAM access)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, access, &key) != ERROR_SUCCESS)
        key = nullptr;
    return RegKey(key);
}

LONG RegKey::SetString(const std::string& name, const std::string& value, DWORD type)
{
    return RegSetValueExA(key_, name.c_str(), 0, type,
                          reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>(value.size() + 1));
}

LONG RegKey::SetDword(const std::string& name, DWORD value)
{
    return RegSetValueExA(key_, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof value);
}

LONG RegKey::SetBinary(const std::string& name, const std::string& bytes, DWORD type)
{
    return RegSetValueExA(key_, name.c_str(), 0, type,
                          reinterpret_cast<const BYTE*>(bytes.data()),
                          static_cast<DWORD>(bytes.size()));
}

LONG RegKey::DeleteValue(const std::string& name) { return RegDeleteValueA(key_, name.c_str()); }

bool RegKey::HasValue(const std::string& name) const
{
    return RegQueryValueExA(key_, name.c_str(), nullptr, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
}

bool RegKey::Query(const std::string& name, DWORD* type, std::string* bytes) const
{
    DWORD size = 0;
    if (RegQueryValueExA(key_, name.c_str(), nullptr, type, nullptr, &size) != ERROR_SUCCESS)
        return false;
    bytes->assign(size, '\0');
    return RegQueryValueExA(key_, name.c_str(), nullptr, type,
                            reinterpret_cast<BYTE*>(&(*bytes)[0]), &size) == ERROR_SUCCESS;
}

bool DeleteKeyTree(HKEY root, const std::string& path)
{
    {
        RegKey key = RegKey::Open(root, path, KEY_ALL_ACCESS);
        if (!key.IsOpen())
            return true;
        char name[256];
        for (;;) {
            DWORD length = sizeof name;
            if (RegEnumKeyExA(key.Get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS)
                break;
            if (!DeleteKeyTree(root, path + "\\" + name))
                return false;
        }
    }
    return RegDeleteKeyA(root, path.c_str()) == ERROR_SUCCESS;
}

ReadOnlyForEveryone::ReadOnlyForEveryone(HKEY root, const std::string& path)
    : key_(RegKey::Open(root, path, READ_CONTROL | WRITE_DAC))
{
    DWORD size = 0;
    RegGetKeySecurity(key_.Get(), DACL_SECURITY_INFORMATION, nullptr, &size);
    original_.assign(size, 0);
    if (size == 0 || RegGetKeySecurity(key_.Get(), DACL_SECURITY_INFORMATION, original_.data(),
                                       &size) != ERROR_SUCCESS) {
        original_.clear();
        return;
    }
    PSECURITY_DESCRIPTOR converted = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;KR;;;WD)", SDDL_REVISION_1,
                                                              &converted, nullptr))
        return;
    const std::unique_ptr<void, HLOCAL(WINAPI*)(HLOCAL)> readOnly(converted, LocalFree);
    applied_ =
        RegSetKeySecurity(key_.Get(), DACL_SECURITY_INFORMATION, readOnly.get()) == ERROR_SUCCESS;
}

ReadOnlyForEveryone::~ReadOnlyForEveryone()
{
    if (applied_)
        RegSetKeySecurity(key_.Get(), DACL_SECURITY_INFORMATION, original_.data());
}

// --- Text ---------------------------------------------------------------------

std::wstring Widen(const std::string& ansi)
{
    const int size = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, nullptr, 0);
    std::wstring text(size > 0 ? size : 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, &text[0], size);
    text.resize(size > 0 ? size - 1 : 0);
    return text;
}

std::string Utf8(const std::wstring& text)
{
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(size > 0 ? size : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &bytes[0], size, nullptr, nullptr);
    bytes.resize(size > 0 ? size - 1 : 0);
    return bytes;
}

// --- Windows version -----------------------------------------------------------

void SetWindowsVersion(const std::string& name)
{
    RunProgram("winecfg.exe -v " + name, 60000);
}

void SetServicePackText(const std::string& text)
{
    RegKey::Create(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows NT\\CurrentVersion")
        .SetString("CSDVersion", text);
}

} // namespace vktest
