#include "basCommon.h"

#include "ansi_argument.h"
#include "basRegistry.h"
#include "binding_table.h"
#include "history_log_format.h"
#include "kernel_handle.h"
#include "number_text.h"

namespace {

constexpr wchar_t kLogFileName[] = L"\\" VK_HISTORY_LOG_FILE;
constexpr wchar_t kLogSection[] = L"" VK_HISTORY_SECTION;
constexpr wchar_t kAddedFolderLabel[] = L"" VK_HISTORY_ADDED_FOLDER;

// 255 characters and the terminator.
constexpr UINT kWindowsDirBufferSize = 256;

constexpr wchar_t kShutdownPrivilege[] = L"SeShutdownPrivilege";
constexpr DWORD kTokenAccess = TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY; // 0x28

// OSVERSIONINFOA with its 128-byte service-pack text.
constexpr DWORD kVersionRecordSize = 148;
static_assert(sizeof(OSVERSIONINFOA) == kVersionRecordSize, "the platform's version record");

constexpr wchar_t kNineXVersionKey[] =
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr wchar_t kNineXSubVersionValue[] = L"SubVersionNumber";
constexpr wchar_t kNtVersionKey[] =
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr wchar_t kNtVersionValue[] = L"CurrentVersion";
// What a version text holds when the registry could not be read.
constexpr wchar_t kUnreadVersionText[] = L"  ";
constexpr DWORD kWindows98MinorVersion = 10;

// LOAD_LIBRARY_SEARCH_DEFAULT_DIRS, which older SDKs lack.
constexpr DWORD kSearchProgramAndSystemFolders = 0x1000;

// --- The Windows functions, bound through the table ----------------------

UINT CallGetWindowsDirectory(LPSTR buffer, UINT size)
{
    using Fn = UINT(WINAPI*)(LPSTR, UINT);
    return BoundFunction<Fn>(Api::GetWindowsDirectoryA)(buffer, size);
}

BOOL CallWritePrivateProfileString(LPSTR section, LPSTR key, LPSTR value, LPSTR file)
{
    using Fn = BOOL(WINAPI*)(LPCSTR, LPCSTR, LPCSTR, LPCSTR);
    return BoundFunction<Fn>(Api::WritePrivateProfileStringA)(section, key, value, file);
}

HANDLE CallGetCurrentProcess()
{
    using Fn = HANDLE(WINAPI*)();
    return BoundFunction<Fn>(Api::GetCurrentProcess)();
}

BOOL CallOpenProcessToken(HANDLE process, DWORD access, HANDLE* token)
{
    using Fn = BOOL(WINAPI*)(HANDLE, DWORD, PHANDLE);
    return BoundFunction<Fn>(Api::OpenProcessToken)(process, access, token);
}

BOOL CallLookupPrivilegeValue(LPSTR privilegeName, LUID* id)
{
    using Fn = BOOL(WINAPI*)(LPCSTR, LPCSTR, PLUID);
    return BoundFunction<Fn>(Api::LookupPrivilegeValueA)(nullptr, privilegeName, id);
}

BOOL CallAdjustTokenPrivileges(HANDLE token, TOKEN_PRIVILEGES* newState,
                               TOKEN_PRIVILEGES* previousState)
{
    using Fn = BOOL(WINAPI*)(HANDLE, BOOL, PTOKEN_PRIVILEGES, DWORD, PTOKEN_PRIVILEGES, PDWORD);
    DWORD returnLength = 0;
    return BoundFunction<Fn>(Api::AdjustTokenPrivileges)(
        token, FALSE, newState, sizeof *previousState, previousState, &returnLength);
}

BOOL CallGetTokenStatistics(HANDLE token, TOKEN_STATISTICS* statistics)
{
    using Fn = BOOL(WINAPI*)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD, PDWORD);
    DWORD returnLength = 0;
    return BoundFunction<Fn>(Api::GetTokenInformation)(token, TokenStatistics, statistics,
                                                       sizeof *statistics, &returnLength);
}

// NtCreateFile's arguments, as ntdll takes them.
struct CountedName {
    USHORT length;
    USHORT maximumLength;
    PWSTR buffer;
};
struct ObjectAttributes {
    ULONG length;
    HANDLE rootDirectory;
    CountedName* objectName;
    ULONG attributes;
    PVOID securityDescriptor;
    PVOID securityQualityOfService;
};
struct IoStatus {
    LONG status;
    ULONG_PTR information;
};

LONG CallNtCreateFile(HANDLE* file, ACCESS_MASK access, ObjectAttributes* attributes,
                      IoStatus* io, ULONG sharing, ULONG disposition, ULONG options)
{
    using Fn = LONG(WINAPI*)(HANDLE*, ACCESS_MASK, ObjectAttributes*, IoStatus*, LARGE_INTEGER*,
                             ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
    return BoundFunction<Fn>(Api::NtCreateFile)(file, access, attributes, io, nullptr,
                                                FILE_ATTRIBUTE_NORMAL, sharing, disposition,
                                                options, nullptr, 0);
}

BOOL CallCloseHandle(HANDLE handle)
{
    using Fn = BOOL(WINAPI*)(HANDLE);
    return BoundFunction<Fn>(Api::CloseHandle)(handle);
}

BOOL CallGetVersionEx(OSVERSIONINFOA* version)
{
    using Fn = BOOL(WINAPI*)(LPOSVERSIONINFOA);
    return BoundFunction<Fn>(Api::GetVersionExA)(version);
}

BOOL CallExitWindowsEx(UINT flags, DWORD reserved)
{
    using Fn = BOOL(WINAPI*)(UINT, DWORD);
    return BoundFunction<Fn>(Api::ExitWindowsEx)(flags, reserved);
}

// --- The process token -----------------------------------------------------------

// The token of this process, opened with `access`.
class ProcessToken {
public:
    explicit ProcessToken(DWORD access)
    {
        HANDLE process = CallGetCurrentProcess();
        if (!CallOpenProcessToken(process, access, &token_))
            token_ = nullptr;
    }
    ~ProcessToken()
    {
        if (token_ == nullptr)
            return;
        // A binding error here could not travel alongside one already on
        // its way up; kernel32's CloseHandle is always there otherwise.
        try {
            CallCloseHandle(token_);
        } catch (const BindingError&) {
        }
    }
    ProcessToken(const ProcessToken&) = delete;
    ProcessToken& operator=(const ProcessToken&) = delete;

    bool IsOpen() const { return token_ != nullptr; }
    HANDLE Get() const { return token_; }

private:
    HANDLE token_ = nullptr;
};

// --- Restart ------------------------------------------------------------------

bool QueryVersion(OSVERSIONINFOA& version)
{
    version = OSVERSIONINFOA();
    version.dwOSVersionInfoSize = kVersionRecordSize;
    return CallGetVersionEx(&version) != FALSE;
}

struct RestartFlags {
    Status16 mode;
    Status16 firstKind; // the kinds of Windows the row covers
    Status16 lastKind;
    UINT flags;
};

// No row forces programs to close: a program may still refuse.
const RestartFlags kRestartFlags[] = {
    {kShutdown, kWindows95, kWindows98OrMe, EWX_SHUTDOWN | EWX_POWEROFF},
    {kShutdown, kWindowsNT4, kWindowsNT5OrLater, EWX_SHUTDOWN},
    {kReboot, kWindows95, kWindowsNT5OrLater, EWX_REBOOT},
    {kLogoff, kWindows95, kWindowsNT5OrLater, EWX_LOGOFF},
};

const RestartFlags* FindRestartFlags(Status16 mode, Status16 kind)
{
    for (const RestartFlags& row : kRestartFlags)
        if (row.mode == mode && kind >= row.firstKind && kind <= row.lastKind)
            return &row;
    return nullptr;
}

// --- Kind of Windows ----------------------------------------------------------

// A version text from the registry; left as two blanks when unreadable.
std::wstring ReadVersionText(const wchar_t* keyPath, const wchar_t* valueName)
{
    std::wstring text = kUnreadVersionText;
    Long32 length = 0;
    RegGetString(keyPath, valueName, text, length);
    return text;
}

Status16 NineXKind(const OSVERSIONINFOA& version)
{
    const std::wstring subVersion = ReadVersionText(kNineXVersionKey, kNineXSubVersionValue);
    if (version.dwMinorVersion >= kWindows98MinorVersion)
        return kWindows98OrMe;
    return subVersion == L"B" || subVersion == L" B" ? kWindows95OSR2 : kWindows95;
}

Status16 NtKind()
{
    const std::wstring currentVersion = ReadVersionText(kNtVersionKey, kNtVersionValue);
    const bool versionFour = !currentVersion.empty() && currentVersion[0] == L'4';
    return versionFour ? kWindowsNT4 : kWindowsNT5OrLater;
}

} // namespace

std::wstring GetWindowsDir()
{
    std::wstring buffer(kWindowsDirBufferSize, L'\0');
    AnsiVariable directory(buffer);
    CallGetWindowsDirectory(directory.Get(), kWindowsDirBufferSize);
    directory.WriteBack();
    std::wstring path = TrimAtNul(buffer);
    if (!path.empty() && path.back() == L'\\')
        path.pop_back(); // one backslash only: C:\ becomes C:
    return path;
}

std::wstring TrimAtNul(const std::wstring& text)
{
    return text.substr(0, text.find(L'\0'));
}

std::wstring GetLogFilePath()
{
    return GetWindowsDir() + kLogFileName;
}

namespace {

constexpr ULONG kOpenExisting = 1;                  // FILE_OPEN
constexpr ULONG kSynchronousNonDirectory = 0x60;    // FILE_SYNCHRONOUS_IO_NONALERT, FILE_NON_DIRECTORY_FILE
constexpr ULONG kCompleteIfOplocked = 0x100;        // FILE_COMPLETE_IF_OPLOCKED
constexpr ULONG kCaseInsensitive = 0x40;            // OBJ_CASE_INSENSITIVE
constexpr LONG kOplockBreakInProgress = 0x108;      // STATUS_OPLOCK_BREAK_IN_PROGRESS
constexpr LONG kNameNotFound = static_cast<LONG>(0xC0000034);
constexpr LONG kPathNotFound = static_cast<LONG>(0xC000003A);
constexpr DWORD kBreakWait = 2000;
constexpr DWORD kBreakPause = 50;

} // namespace

LogOpen OpenLogForReading(HANDLE& log)
{
    std::wstring name = L"\\?" L"?\\" + GetLogFilePath(); // \??\, no trigraph
    CountedName counted = {static_cast<USHORT>(name.size() * sizeof(wchar_t)),
                           static_cast<USHORT>(name.size() * sizeof(wchar_t)), &name[0]};
    ObjectAttributes attributes = {sizeof attributes, nullptr, &counted, kCaseInsensitive,
                                   nullptr, nullptr};
    const DWORD start = GetTickCount();
    for (;;) {
        IoStatus io = {};
        log = nullptr;
        const LONG status = CallNtCreateFile(
            &log, GENERIC_READ, &attributes, &io,
            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, kOpenExisting,
            kSynchronousNonDirectory | kCompleteIfOplocked);
        if (status == kNameNotFound || status == kPathNotFound)
            return kLogAbsent;
        if (status < 0)
            return kLogHeld;
        if (status != kOplockBreakInProgress)
            return kLogOpened;
        CallCloseHandle(log);
        log = nullptr;
        if (GetTickCount() - start >= kBreakWait)
            return kLogHeld;
        Sleep(kBreakPause);
    }
}

Status16 WriteAddedFolderRecord(std::wstring folderPath)
{
    // Held open through the write: Windows' own open of the file then
    // finds no oplock to break and waits for nobody.
    HANDLE log = nullptr;
    const LogOpen open = OpenLogForReading(log);
    if (open == kLogHeld)
        return 0;
    const KernelHandle held(open == kLogOpened ? log : nullptr);
    AnsiText file(GetLogFilePath());
    AnsiText section(kLogSection);
    AnsiText key(folderPath);
    AnsiText value(kAddedFolderLabel);
    return CallWritePrivateProfileString(section.Get(), key.Get(), value.Get(), file.Get()) ? 1
                                                                                            : 0;
}

Bool16 EnableShutdownPrivilege()
{
    ProcessToken token(kTokenAccess);
    if (!token.IsOpen())
        return kFalse;
    AnsiText privilegeName(kShutdownPrivilege);
    TOKEN_PRIVILEGES enable = {};
    if (!CallLookupPrivilegeValue(privilegeName.Get(), &enable.Privileges[0].Luid))
        return kFalse;
    enable.PrivilegeCount = 1;
    enable.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    TOKEN_PRIVILEGES previous = {};
    // The last error is not consulted: a token without the privilege at
    // all (ERROR_NOT_ALL_ASSIGNED) still counts as done.
    return CallAdjustTokenPrivileges(token.Get(), &enable, &previous) ? kTrue : kFalse;
}

std::wstring LogonSessionId()
{
    ProcessToken token(TOKEN_QUERY);
    TOKEN_STATISTICS statistics = {};
    if (!token.IsOpen() || !CallGetTokenStatistics(token.Get(), &statistics))
        return std::wstring();
    // "HHHHHHHH-LLLLLLLL"
    return UnsignedText(static_cast<DWORD>(statistics.AuthenticationId.HighPart), 16, 8) + L"-" +
           UnsignedText(statistics.AuthenticationId.LowPart, 16, 8);
}

void RemoveCurrentDirectoryFromDllSearch()
{
    using DefaultDirectoriesFn = BOOL(WINAPI*)(DWORD);
    using DllDirectoryFn = BOOL(WINAPI*)(LPCWSTR);
    // The program's folder and the system folder stay in the search.
    if (const auto setDefault =
            BoundFunctionIfPresent<DefaultDirectoriesFn>(Api::SetDefaultDllDirectories))
        setDefault(kSearchProgramAndSystemFolders);
    else if (const auto setDirectory =
                 BoundFunctionIfPresent<DllDirectoryFn>(Api::SetDllDirectoryW))
        setDirectory(L""); // Wine ignores this one; Windows does not
}

void RefuseJunctionsOfOrdinaryUsers()
{
    // PROCESS_MITIGATION_POLICY's ProcessRedirectionTrustPolicy, and its
    // structure's EnforceRedirectionTrust bit (Windows 10 2022 and later).
    const int kRedirectionTrustPolicy = 16;
    const DWORD kEnforceRedirectionTrust = 1;
    using Fn = BOOL(WINAPI*)(int, PVOID, SIZE_T);
    DWORD policy = kEnforceRedirectionTrust;
    if (const auto set = BoundFunctionIfPresent<Fn>(Api::SetProcessMitigationPolicy))
        set(kRedirectionTrustPolicy, &policy, sizeof policy);
}

void SetShutdownBlockReason(HWND mainWindow, const wchar_t* reason)
{
    using Fn = BOOL(WINAPI*)(HWND, LPCWSTR);
    if (const auto create = BoundFunctionIfPresent<Fn>(Api::ShutdownBlockReasonCreate))
        create(mainWindow, reason);
}

void ClearShutdownBlockReason(HWND mainWindow)
{
    using Fn = BOOL(WINAPI*)(HWND);
    if (const auto destroy = BoundFunctionIfPresent<Fn>(Api::ShutdownBlockReasonDestroy))
        destroy(mainWindow);
}

Status16 RestartWindows(Status16 mode)
{
    OSVERSIONINFOA version;
    if (!QueryVersion(version))
        return 0;
    if (version.dwPlatformId == VER_PLATFORM_WIN32_NT && EnableShutdownPrivilege() == kFalse)
        return 0;
    const Status16 kind = GetWindowsKind();
    if (const RestartFlags* row = FindRestartFlags(mode, kind))
        CallExitWindowsEx(row->flags, 0); // refused or failed: the utility runs on
    return 0;
}

Status16 GetWindowsKind()
{
    OSVERSIONINFOA version;
    QueryVersion(version); // a failed query leaves platform 0
    switch (version.dwPlatformId) {
    case VER_PLATFORM_WIN32_WINDOWS:
        return NineXKind(version);
    case VER_PLATFORM_WIN32_NT:
        return NtKind();
    default:
        return kWindows95;
    }
}
