#include "ui_driver.h"

#include <cwchar>

namespace vkui {
namespace {

using Variable = std::pair<std::wstring, std::wstring>;

std::wstring NameOf(const std::wstring& entry)
{
    // Entries such as "=C:=C:\\vk" keep a leading '=' as part of the name.
    const size_t equals = entry.find(L'=', 1);
    return entry.substr(0, equals);
}

std::vector<std::wstring> CurrentEnvironment()
{
    std::vector<std::wstring> entries;
    wchar_t* block = GetEnvironmentStringsW();
    for (const wchar_t* entry = block; *entry != L'\0'; entry += std::wcslen(entry) + 1)
        entries.emplace_back(entry);
    FreeEnvironmentStringsW(block);
    return entries;
}

// The test's environment with `changes` applied, as a block for CreateProcessW.
std::vector<wchar_t> EnvironmentBlock(const std::vector<Variable>& changes)
{
    std::vector<std::wstring> entries = CurrentEnvironment();
    for (const Variable& change : changes) {
        for (auto entry = entries.begin(); entry != entries.end();) {
            if (_wcsicmp(NameOf(*entry).c_str(), change.first.c_str()) == 0)
                entry = entries.erase(entry);
            else
                ++entry;
        }
        if (!change.second.empty())
            entries.push_back(change.first + L"=" + change.second);
    }
    std::vector<wchar_t> block;
    for (const std::wstring& entry : entries) {
        block.insert(block.end(), entry.begin(), entry.end());
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    return block;
}

std::vector<wchar_t> CommandLine(const StartOptions& options)
{
    std::wstring line = L"\"" + options.program + L"\"";
    if (!options.arguments.empty())
        line += L" " + options.arguments;
    return std::vector<wchar_t>(line.c_str(), line.c_str() + line.size() + 1);
}

// LoadLibraryW run in `process` by a thread of its own, once the process
// has started its message loop (or a message box).
void LoadLibraryInto(HANDLE process, const std::wstring& library)
{
    WaitForInputIdle(process, kDefaultWait);
    const SIZE_T size = (library.size() + 1) * sizeof(wchar_t);
    void* remote = VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
    if (remote == nullptr)
        return;
    if (WriteProcessMemory(process, remote, library.c_str(), size, nullptr)) {
        const auto load = reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "LoadLibraryW")));
        if (HANDLE thread = CreateRemoteThread(process, nullptr, 0, load, remote, 0, nullptr)) {
            WaitForSingleObject(thread, kDefaultWait);
            CloseHandle(thread);
        }
    }
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
}

} // namespace

Program::Program(const StartOptions& options)
{
    std::vector<wchar_t> commandLine = CommandLine(options);
    std::vector<wchar_t> environment = EnvironmentBlock(options.environment);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    const wchar_t* directory =
        options.workingDirectory.empty() ? nullptr : options.workingDirectory.c_str();
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_UNICODE_ENVIRONMENT, environment.data(), directory, &startup,
                        &info))
        return;
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    id_ = info.dwProcessId;
    if (!options.injectedLibrary.empty())
        LoadLibraryInto(process_, options.injectedLibrary);
}

Program::~Program()
{
    if (process_ == nullptr)
        return;
    if (!HasExited()) {
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, kDefaultWait);
    }
    CloseHandle(process_);
}

bool Program::HasExited() const
{
    return process_ == nullptr || WaitForSingleObject(process_, 0) == WAIT_OBJECT_0;
}

std::optional<DWORD> Program::WaitForExit(DWORD milliseconds)
{
    if (process_ == nullptr || WaitForSingleObject(process_, milliseconds) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD code = 0;
    if (!GetExitCodeProcess(process_, &code))
        return std::nullopt;
    return code;
}

} // namespace vkui
