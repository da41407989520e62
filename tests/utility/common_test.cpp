// The utility's common routines: the Windows directory and the history log,
// the shutdown privilege, the kind of Windows and the restart. Where Wine
// cannot be made into another Windows (a directory at a drive root, Windows
// 95), the Windows function is bound to a double that reports it.
#include "basCommon.h"
#include "bound_doubles.h"
#include "history_log_format.h"
#include "test_support.h"

#include <doctest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace vktest {

bool operator==(const IniEntry& a, const IniEntry& b)
{
    return a.key == b.key && a.value == b.value;
}

} // namespace vktest

using namespace vktest;

namespace {

// --- Windows directory ----------------------------------------------------------

struct WindowsDirectoryCall {
    const char* reported = nullptr; // null: the call writes nothing and fails
    UINT size = 0;
    bool bufferWasZero = false;
};
WindowsDirectoryCall windowsDirectory;

UINT WINAPI ReportWindowsDirectory(LPSTR buffer, UINT size)
{
    windowsDirectory.size = size;
    windowsDirectory.bufferWasZero = std::all_of(buffer, buffer + size, [](char c) {
        return c == '\0';
    });
    if (windowsDirectory.reported == nullptr)
        return 0;
    std::strcpy(buffer, windowsDirectory.reported);
    return static_cast<UINT>(std::strlen(buffer));
}

// A Windows directory that GetWindowsDirectoryA reports for this scope.
class WindowsDirectoryIs {
public:
    explicit WindowsDirectoryIs(const char* directory)
    {
        windowsDirectory = WindowsDirectoryCall();
        windowsDirectory.reported = directory;
    }

private:
    Rebound rebound_{Api::GetWindowsDirectoryA, ReportWindowsDirectory};
};

// --- History log ------------------------------------------------------------------

const char kLogSection[] = VK_HISTORY_SECTION;

std::string LogPath() { return WindowsDir() + "\\" VK_HISTORY_LOG_FILE; }

// Starts without a log and leaves none behind.
struct FreshLog {
    FreshLog() { DeleteFileA(LogPath().c_str()); }
    ~FreshLog() { DeleteFileA(LogPath().c_str()); }

    // A record as the library writes it.
    static void LibraryRecord(const std::string& folder, const std::string& label)
    {
        WritePrivateProfileStringA(kLogSection, folder.c_str(), label.c_str(), LogPath().c_str());
    }
    static bool Holds(const std::string& bytes)
    {
        return ReadFileBytes(LogPath()).find(bytes) != std::string::npos;
    }
};

// --- Token --------------------------------------------------------------------------

LUID ShutdownPrivilege()
{
    LUID id = {};
    LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &id);
    return id;
}

Handle OwnToken(DWORD access)
{
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), access, &token);
    return Handle(token);
}

void SetShutdownPrivilege(DWORD attributes)
{
    Handle token = OwnToken(TOKEN_ADJUST_PRIVILEGES);
    TOKEN_PRIVILEGES privileges = {1, {{ShutdownPrivilege(), attributes}}};
    AdjustTokenPrivileges(token.Get(), FALSE, &privileges, 0, nullptr, nullptr);
}

bool ShutdownPrivilegeEnabled()
{
    Handle token = OwnToken(TOKEN_QUERY);
    std::vector<BYTE> buffer(4096);
    DWORD size = 0;
    if (!GetTokenInformation(token.Get(), TokenPrivileges, buffer.data(),
                             static_cast<DWORD>(buffer.size()), &size))
        return false;
    const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
    const LUID shutdown = ShutdownPrivilege();
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
        const LUID_AND_ATTRIBUTES& entry = privileges->Privileges[i];
        if (entry.Luid.LowPart == shutdown.LowPart && entry.Luid.HighPart == shutdown.HighPart)
            return (entry.Attributes & SE_PRIVILEGE_ENABLED) != 0;
    }
    return false;
}

struct TokenCalls {
    int opens = 0;
    bool openFails = false;
    DWORD access = 0;
    HANDLE opened = nullptr;
    std::vector<HANDLE> closed;
};
TokenCalls tokenCalls;

BOOL WINAPI RecordOpenProcessToken(HANDLE process, DWORD access, PHANDLE token)
{
    ++tokenCalls.opens;
    tokenCalls.access = access;
    if (tokenCalls.openFails) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    const BOOL opened = OpenProcessToken(process, access, token);
    tokenCalls.opened = *token;
    return opened;
}

BOOL WINAPI RecordCloseHandle(HANDLE handle)
{
    tokenCalls.closed.push_back(handle);
    return CloseHandle(handle);
}

BOOL WINAPI UnknownPrivilege(LPCSTR, LPCSTR, PLUID)
{
    SetLastError(ERROR_NO_SUCH_PRIVILEGE);
    return FALSE;
}

BOOL WINAPI NotAllAssigned(HANDLE, BOOL, PTOKEN_PRIVILEGES, DWORD, PTOKEN_PRIVILEGES, PDWORD)
{
    SetLastError(ERROR_NOT_ALL_ASSIGNED);
    return TRUE;
}

// Records the token calls of this scope; the token is opened for real
// unless `openFails`.
class TokenCallLog {
public:
    explicit TokenCallLog(bool openFails = false)
    {
        tokenCalls = TokenCalls();
        tokenCalls.openFails = openFails;
    }

private:
    Rebound open_{Api::OpenProcessToken, RecordOpenProcessToken};
    Rebound close_{Api::CloseHandle, RecordCloseHandle};
};

// --- Kind of Windows -------------------------------------------------------------

const char kNineXVersionKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
const char kNtVersionKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

// A registry value of HKEY_LOCAL_MACHINE, put back as it was at the end.
class SavedValue {
public:
    SavedValue(const char* key, const char* name) : key_(key), name_(name)
    {
        existed_ = RegKey::Open(HKEY_LOCAL_MACHINE, key_).Query(name_, &type_, &bytes_);
    }
    ~SavedValue()
    {
        RegKey key = RegKey::Create(HKEY_LOCAL_MACHINE, key_);
        if (existed_)
            key.SetBinary(name_, bytes_, type_);
        else
            key.DeleteValue(name_);
    }
    SavedValue(const SavedValue&) = delete;
    SavedValue& operator=(const SavedValue&) = delete;

    void Set(const char* text) // null: no value at all
    {
        RegKey key = RegKey::Create(HKEY_LOCAL_MACHINE, key_);
        if (text == nullptr)
            key.DeleteValue(name_);
        else
            key.SetString(name_, text);
    }

private:
    std::string key_;
    std::string name_;
    bool existed_ = false;
    DWORD type_ = REG_NONE;
    std::string bytes_;
};

struct WindowsRelease {
    const char* name;
    DWORD platform;
    DWORD major;
    DWORD minor;
    const char* versionText; // SubVersionNumber on 9x, CurrentVersion on NT; null: missing
    Status16 kind;
};

const WindowsRelease kRelease95{"Windows 95", 1, 4, 0, " A", kWindows95};
const WindowsRelease kRelease95OSR2{"Windows 95 OSR2", 1, 4, 0, " B", kWindows95OSR2};
const WindowsRelease kRelease98{"Windows 98", 1, 4, 10, " A ", kWindows98OrMe};
const WindowsRelease kReleaseNT4{"Windows NT 4.0", 2, 4, 0, "4.0", kWindowsNT4};
const WindowsRelease kRelease2000{"Windows 2000", 2, 5, 0, "5.0", kWindowsNT5OrLater};
const WindowsRelease kReleaseXP{"Windows XP", 2, 5, 1, "5.1", kWindowsNT5OrLater};

struct VersionCalls {
    OSVERSIONINFOA reported = {};
    bool fails = false;
    int count = 0;
};
VersionCalls versionCalls;

BOOL WINAPI ReportVersion(LPOSVERSIONINFOA version)
{
    ++versionCalls.count;
    if (versionCalls.fails || version->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    *version = versionCalls.reported;
    return TRUE;
}

struct ExitCall {
    UINT flags;
    DWORD reserved;
};
std::vector<ExitCall> exitCalls;

BOOL WINAPI RecordExitWindows(UINT flags, DWORD reserved)
{
    exitCalls.push_back({flags, reserved});
    return TRUE;
}

// Makes the utility see another Windows: its version record from
// GetVersionExA, its version text in the registry. ExitWindowsEx only
// records its calls.
class PretendWindows {
public:
    PretendWindows()
    {
        versionCalls = VersionCalls();
        exitCalls.clear();
    }

    void Become(const WindowsRelease& release)
    {
        versionCalls = VersionCalls();
        OSVERSIONINFOA& version = versionCalls.reported;
        version.dwOSVersionInfoSize = sizeof version;
        version.dwMajorVersion = release.major;
        version.dwMinorVersion = release.minor;
        version.dwBuildNumber = 950;
        version.dwPlatformId = release.platform;
        if (release.platform == VER_PLATFORM_WIN32_WINDOWS)
            subVersion_.Set(release.versionText);
        else
            ntVersion_.Set(release.versionText);
        exitCalls.clear();
    }

private:
    SavedValue subVersion_{kNineXVersionKey, "SubVersionNumber"};
    SavedValue ntVersion_{kNtVersionKey, "CurrentVersion"};
    Rebound version_{Api::GetVersionExA, ReportVersion};
    Rebound exit_{Api::ExitWindowsEx, RecordExitWindows};
};

} // namespace

// --- Windows directory and log path -------------------------------------------------

TEST_SUITE("Windows directory")
{
    TEST_CASE("GetWindowsDir is the Windows directory, which Windows gives without a trailing "
              "backslash")
    {
        CHECK(GetWindowsDir() == Wide(WindowsDir()));
        CHECK(GetLogFilePath() == Wide(WindowsDir()) + L"\\" VK_HISTORY_LOG_FILE);
    }

    TEST_CASE("Windows in a drive root: C:\\ gives C: and the log C:\\VK_XP.log")
    {
        WindowsDirectoryIs root("C:\\");
        CHECK(GetWindowsDir() == L"C:");
        CHECK(GetLogFilePath() == L"C:\\VK_XP.log");
    }

    TEST_CASE("only one trailing backslash is ever removed")
    {
        WindowsDirectoryIs twoBackslashes("D:\\WINNT\\\\");
        CHECK(GetWindowsDir() == L"D:\\WINNT\\");
    }

    TEST_CASE("it asks with a zero-filled buffer of 256 bytes")
    {
        WindowsDirectoryIs directory("C:\\WINDOWS");
        CHECK(GetWindowsDir() == L"C:\\WINDOWS");
        CHECK(windowsDirectory.size == 256);
        CHECK(windowsDirectory.bufferWasZero);
    }

    TEST_CASE("a failed query gives an empty directory and the log path \\VK_XP.log")
    {
        WindowsDirectoryIs nothing(nullptr);
        CHECK(GetWindowsDir().empty());
        CHECK(GetLogFilePath() == L"\\VK_XP.log");
    }

    TEST_CASE("TrimAtNul keeps the text before the first NUL")
    {
        CHECK(TrimAtNul(L"C:\\WINDOWS") == L"C:\\WINDOWS");
        CHECK(TrimAtNul(std::wstring(L"C:\\WINDOWS\0\0junk", 16)) == L"C:\\WINDOWS");
        CHECK(TrimAtNul(std::wstring(L"\0C:", 3)).empty());
        CHECK(TrimAtNul(L"").empty());
    }
}

// --- The utility's history record ------------------------------------------------------

TEST_SUITE("WriteAddedFolderRecord")
{
    TEST_CASE_FIXTURE(FreshLog, "the first record creates the log: the section and one entry, "
                                "in Shift-JIS")
    {
        CHECK(WriteAddedFolderRecord(L"C:\\会計データ") == 1);
        CHECK(IniSections(LogPath()) == std::vector<std::string>{kLogSection});
        CHECK(IniEntries(LogPath(), kLogSection) ==
              std::vector<IniEntry>{{"C:\\会計データ", "追加フォルダ"}});
        CHECK(Holds(VK_HISTORY_SECTION_LINE));
        CHECK(Holds(HistoryLine<std::string>("C:\\会計データ", VK_HISTORY_ADDED_FOLDER)));
    }

    TEST_CASE_FIXTURE(FreshLog, "a new folder is added after the library's records")
    {
        LibraryRecord("C:\\VESKADAT", "VESKA共通情報");
        LibraryRecord("D:\\財務\\DB", "データベース：エラー");
        CHECK(WriteAddedFolderRecord(L"E:\\共有\\経理") == 1);
        CHECK(IniEntries(LogPath(), kLogSection) ==
              std::vector<IniEntry>{{"C:\\VESKADAT", "VESKA共通情報"},
                                    {"D:\\財務\\DB", "データベース：エラー"},
                                    {"E:\\共有\\経理", "追加フォルダ"}});
    }

    TEST_CASE_FIXTURE(FreshLog, "a folder already in the log keeps its place and gets the label "
                                "追加フォルダ")
    {
        LibraryRecord("C:\\VESKADAT", "VESKA共通情報");
        LibraryRecord("D:\\財務\\DB", "データベース：エラー");
        CHECK(WriteAddedFolderRecord(L"C:\\VESKADAT") == 1);
        CHECK(IniEntries(LogPath(), kLogSection) ==
              std::vector<IniEntry>{{"C:\\VESKADAT", "追加フォルダ"},
                                    {"D:\\財務\\DB", "データベース：エラー"}});
    }

    TEST_CASE("a log that cannot be written gives 0")
    {
        WindowsDirectoryIs missing("C:\\VkMissingFolder");
        CHECK(WriteAddedFolderRecord(L"C:\\会計データ") == 0);
        CHECK_FALSE(PathExists("C:\\VkMissingFolder"));
    }
    // Another program that holds an oplock on the log and never lets go:
    // each open reports the break under way, as Windows does for an open
    // with FILE_COMPLETE_IF_OPLOCKED.
    TEST_CASE_FIXTURE(FreshLog, "a log whose oplock is never released gives 0 within the bound, "
                                "and Windows' own write never runs")
    {
        LibraryRecord("C:\\VESKADAT", "VESKA共通情報");
        const Rebound breakForever(
            Api::NtCreateFile, +[](HANDLE* file, ACCESS_MASK, void*, void*, void*, ULONG, ULONG,
                                   ULONG, ULONG, void*, ULONG) -> LONG {
                *file = CreateEventW(nullptr, FALSE, FALSE, nullptr);
                return 0x108; // STATUS_OPLOCK_BREAK_IN_PROGRESS
            });
        const DWORD start = GetTickCount();
        CHECK(WriteAddedFolderRecord(L"C:\\会計データ") == 0);
        CHECK(GetTickCount() - start < 4000);
        HANDLE log = nullptr;
        CHECK(OpenLogForReading(log) == kLogHeld);
        CHECK(IniEntries(LogPath(), kLogSection) ==
              std::vector<IniEntry>{{"C:\\VESKADAT", "VESKA共通情報"}});
    }
}

// --- Shutdown privilege ----------------------------------------------------------------

TEST_SUITE("EnableShutdownPrivilege")
{
    TEST_CASE("enables SeShutdownPrivilege in the process token and closes the token")
    {
        SetShutdownPrivilege(0);
        REQUIRE_FALSE(ShutdownPrivilegeEnabled());
        TokenCallLog log;
        CHECK(EnableShutdownPrivilege() == kTrue);
        CHECK(ShutdownPrivilegeEnabled());
        CHECK(tokenCalls.access == (TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY));
        CHECK(tokenCalls.closed == std::vector<HANDLE>{tokenCalls.opened});
    }

    TEST_CASE("a token that cannot be opened gives False")
    {
        TokenCallLog log(true);
        CHECK(EnableShutdownPrivilege() == kFalse);
        CHECK(tokenCalls.closed.empty());
    }

    TEST_CASE("a privilege name that the system does not know gives False; the token is closed")
    {
        TokenCallLog log;
        Rebound lookup(Api::LookupPrivilegeValueA, UnknownPrivilege);
        CHECK(EnableShutdownPrivilege() == kFalse);
        CHECK(tokenCalls.closed == std::vector<HANDLE>{tokenCalls.opened});
    }

    TEST_CASE("a token without the privilege (ERROR_NOT_ALL_ASSIGNED) still gives True")
    {
        Rebound adjust(Api::AdjustTokenPrivileges, NotAllAssigned);
        CHECK(EnableShutdownPrivilege() == kTrue);
    }
}

// --- Kind of Windows -----------------------------------------------------------------

TEST_CASE("GetWindowsKind of this Wine, which reports Windows 7")
{
    CHECK(GetWindowsKind() == kWindowsNT5OrLater);
}

TEST_CASE_FIXTURE(PretendWindows, "GetWindowsKind classifies by platform, version and the "
                                  "registry's version text")
{
    const WindowsRelease releases[] = {
        kRelease95,
        kRelease95OSR2,
        {"Windows 95 OSR2, text B", 1, 4, 0, "B", kWindows95OSR2},
        {"Windows 95 OSR2.5, text  C", 1, 4, 0, " C", kWindows95},
        {"Windows 95, text  b (case counts)", 1, 4, 0, " b", kWindows95},
        {"Windows 95 without SubVersionNumber", 1, 4, 0, nullptr, kWindows95},
        kRelease98,
        {"Windows Me", 1, 4, 90, " ", kWindows98OrMe},
        {"Windows NT 3.51", 2, 3, 51, "3.51", kWindowsNT5OrLater},
        kReleaseNT4,
        kRelease2000,
        kReleaseXP,
        {"Windows Vista", 2, 6, 0, "6.0", kWindowsNT5OrLater},
        {"NT without CurrentVersion", 2, 5, 1, nullptr, kWindowsNT5OrLater},
        {"Win32s", 0, 3, 10, nullptr, kWindows95},
    };
    for (const WindowsRelease& release : releases) {
        CAPTURE(release.name);
        Become(release);
        CHECK(GetWindowsKind() == release.kind);
    }
}

// --- Restart ---------------------------------------------------------------------------

TEST_SUITE("RestartWindows")
{
    TEST_CASE_FIXTURE(PretendWindows, "calls ExitWindowsEx once, with the flags of the mode and "
                                      "the kind of Windows and reserved 0")
    {
        const int kNoCall = -1;
        const struct {
            Status16 mode;
            int nineXFlags;
            int ntFlags;
        } modes[] = {
            {0, kNoCall, kNoCall},
            {kShutdown, EWX_SHUTDOWN | EWX_POWEROFF, EWX_SHUTDOWN},
            {kReboot, EWX_REBOOT, EWX_REBOOT},
            {kLogoff, EWX_LOGOFF, EWX_LOGOFF},
            {4, kNoCall, kNoCall},
        };
        for (const WindowsRelease& release :
             {kRelease95, kRelease95OSR2, kRelease98, kReleaseNT4, kRelease2000, kReleaseXP}) {
            for (const auto& mode : modes) {
                CAPTURE(release.name);
                CAPTURE(mode.mode);
                Become(release);
                CHECK(RestartWindows(mode.mode) == 0);
                const int flags = release.kind <= kWindows98OrMe ? mode.nineXFlags : mode.ntFlags;
                if (flags == kNoCall) {
                    CHECK(exitCalls.empty());
                } else {
                    REQUIRE(exitCalls.size() == 1);
                    CHECK(exitCalls[0].flags == static_cast<UINT>(flags));
                    CHECK(exitCalls[0].reserved == 0);
                }
                // Its own query, then GetWindowsKind's: also for modes without a call.
                CHECK(versionCalls.count == 2);
            }
        }
    }

    TEST_CASE_FIXTURE(PretendWindows, "enables the shutdown privilege on NT only, for every mode")
    {
        for (Status16 mode : {0, 2, 4}) {
            CAPTURE(mode);
            TokenCallLog log;
            Become(kReleaseXP);
            SetShutdownPrivilege(0);
            RestartWindows(mode);
            CHECK(tokenCalls.opens == 1);
            CHECK(ShutdownPrivilegeEnabled());

            Become(kRelease98);
            tokenCalls.opens = 0;
            RestartWindows(mode);
            CHECK(tokenCalls.opens == 0);
        }
    }

    TEST_CASE_FIXTURE(PretendWindows, "on NT, a privilege step that fails returns 0 without "
                                      "shutting anything down; 9x needs no token")
    {
        TokenCallLog log(true);
        Become(kRelease2000);
        CHECK(RestartWindows(kReboot) == 0);
        CHECK(exitCalls.empty());
        CHECK(versionCalls.count == 1); // Windows was not even classified

        Become(kRelease95);
        CHECK(RestartWindows(kReboot) == 0);
        CHECK(exitCalls.size() == 1);
    }

    TEST_CASE_FIXTURE(PretendWindows, "a failed version query returns 0 and does nothing else")
    {
        TokenCallLog log;
        Become(kReleaseXP);
        versionCalls.fails = true;
        CHECK(RestartWindows(kShutdown) == 0);
        CHECK(exitCalls.empty());
        CHECK(tokenCalls.opens == 0);
        CHECK(versionCalls.count == 1);
    }
}
