// The binding table, the way text crosses it, and the wrappers of the
// library's exports, on the real VKSVC.dll beside the test program. Routines
// that must run under another Windows version, without the library or
// beside a stand-in mpr.dll, run in the helper utility_call.exe.
#include "ansi_argument.h"
#include "basCommon.h"
#include "basXPCommon.h"
#include "bound_doubles.h"
#include "history_log_format.h"
#include "test_support.h"

#include <doctest.h>

#include <cstring>
#include <string>

using namespace vktest;

namespace {

const void* Address(FARPROC function)
{
    return reinterpret_cast<const void*>(function);
}

std::string ModulePath(HMODULE module)
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(module, path, MAX_PATH);
    return path;
}

// --- The helper, run elsewhere ---------------------------------------------------

// Makes `folder` the current directory for this scope, so that a program
// started now does not find VKSVC.dll in the current directory either.
class InFolder {
public:
    explicit InFolder(const std::string& folder)
    {
        char previous[MAX_PATH] = {};
        GetCurrentDirectoryA(MAX_PATH, previous);
        previous_ = previous;
        SetCurrentDirectoryA(folder.c_str());
    }
    ~InFolder() { SetCurrentDirectoryA(previous_.c_str()); }
    InFolder(const InFolder&) = delete;
    InFolder& operator=(const InFolder&) = delete;

private:
    std::string previous_;
};

// Runs the helper from `folder` (a copy of it is put there) with `routines`;
// its lines of output, joined by " | ".
std::string RunHelperIn(const std::string& folder, const std::string& routines)
{
    const std::string helper = folder + "\\utility_call.exe";
    if (lstrcmpiA(folder.c_str(), ProgramDir().c_str()) != 0)
        CopyFileA((ProgramDir() + "\\utility_call.exe").c_str(), helper.c_str(), FALSE);
    InFolder current(folder);
    ChildProcess child("\"" + helper + "\" " + routines);
    std::string lines;
    for (std::string line = child.ReadLine(); !line.empty(); line = child.ReadLine())
        lines += (lines.empty() ? "" : " | ") + line;
    child.Wait();
    return lines;
}

std::string RunHelper(const std::string& routines)
{
    return RunHelperIn(ProgramDir(), routines);
}

// The Windows version that Wine reports to the helper alone.
class HelperSeesWindows {
public:
    explicit HelperSeesWindows(const char* version)
    {
        RegKey::Create(HKEY_CURRENT_USER, kKey).SetString("Version", version);
    }
    ~HelperSeesWindows() { DeleteKeyTree(HKEY_CURRENT_USER, kKey); }
    HelperSeesWindows(const HelperSeesWindows&) = delete;
    HelperSeesWindows& operator=(const HelperSeesWindows&) = delete;

private:
    static constexpr const char* kKey = "Software\\Wine\\AppDefaults\\utility_call.exe";
};

UINT WINAPI NoWindowsDirectory(LPSTR, UINT)
{
    return 0;
}

// --- Network drives of the stand-in mpr.dll ------------------------------------

const size_t kMessageBufferLength = 1024;

// Sets an environment variable that programs started in this scope inherit.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : name_(name)
    {
        char previous[1024] = {};
        had_ = GetEnvironmentVariableA(name, previous, sizeof previous) > 0;
        previous_ = previous;
        SetEnvironmentVariableA(name, value);
    }
    ~ScopedVariable() { SetEnvironmentVariableA(name_.c_str(), had_ ? previous_.c_str() : nullptr); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    std::string name_;
    std::string previous_;
    bool had_ = false;
};

// A folder where VKSVC.dll imports the stand-in mpr.dll of the network drive
// tests instead of Windows's own (Wine takes it, beside the program, because
// this test runs with mpr=n,b in WINEDLLOVERRIDES); the drives it reports are
// `drives` (tests/net_drive/fake_mpr.cpp describes them).
class FakeNetwork {
public:
    explicit FakeNetwork(const char* drives) : drives_("VK_FAKE_MPR", drives)
    {
        CopyFileA((ProgramDir() + "\\VKSVC.dll").c_str(), (Folder() + "\\VKSVC.dll").c_str(),
                  FALSE);
        CopyFileA((ProgramDir() + "\\fake_mpr.dll").c_str(), (Folder() + "\\mpr.dll").c_str(),
                  FALSE);
    }
    const std::string& Folder() const { return folder_.Path(); }

private:
    ScopedFolder folder_{ProgramDir() + "\\utility_net_drive"};
    ScopedVariable drives_;
};

} // namespace

// --- Binding -------------------------------------------------------------------------

TEST_SUITE("binding table")
{
    TEST_CASE("every entry binds on this Windows, VKSVC.dll from beside the program")
    {
        for (int entry = 0; entry < static_cast<int>(Api::Count); ++entry) {
            CAPTURE(entry);
            FARPROC address = nullptr;
            CHECK_NOTHROW(address = Bind(static_cast<Api>(entry)));
            CHECK(Address(address) != nullptr);
        }
        CHECK(lstrcmpiA(ModulePath(GetModuleHandleA("VKSVC.dll")).c_str(),
                        (ProgramDir() + "\\VKSVC.dll").c_str()) == 0);
        CHECK(Address(Bind(Api::ExitWindowsEx)) ==
              Address(GetProcAddress(GetModuleHandleA("user32.dll"), "ExitWindowsEx")));
    }

    TEST_CASE("an entry rebound to null binds to the real function at its next call")
    {
        const FARPROC real = Bind(Api::GetWindowsDirectoryA);
        {
            Rebound standIn(Api::GetWindowsDirectoryA, NoWindowsDirectory);
            CHECK(Address(Bind(Api::GetWindowsDirectoryA)) == Address(AsBound(NoWindowsDirectory)));
        }
        CHECK(Address(Bind(Api::GetWindowsDirectoryA)) == Address(real));
    }

    TEST_CASE("without VKSVC.dll each call of an export raises 'file not found', naming the "
              "library and the export")
    {
        ScopedFolder lonely("C:\\vk_without_library");
        CHECK(RunHelperIn(lonely.Path(), "RunSetVeskaFolder IsXpOrLater") ==
              "BindingError file-not-found VKSVC.dll SetVeskaFolder | "
              "BindingError file-not-found VKSVC.dll bIsWindowsVersionOK");
    }

    TEST_CASE("a VKSVC.dll without the export raises 'entry point not found'; its other exports "
              "are bound")
    {
        const std::string folder = ProgramDir() + "\\utility_incomplete_vksvc";
        CHECK(RunHelperIn(folder, "RunSetVeskaFolder RunSetVeskaFolder IsInstanceRunning") ==
              "BindingError entry-point-not-found VKSVC.dll SetVeskaFolder | "
              "BindingError entry-point-not-found VKSVC.dll SetVeskaFolder | 7");
        DeleteFileA((folder + "\\utility_call.exe").c_str());
    }
}

// --- Text crossing to ANSI functions ---------------------------------------------------

TEST_SUITE("ANSI arguments")
{
    TEST_CASE("text crosses in Shift-JIS, in a buffer of its converted length and a terminator")
    {
        AnsiText text(L"財務A");
        CHECK(std::string(text.Get()) == "財務A");
        CHECK(std::strlen(text.Get()) == 5);
        CHECK(text.ToWide() == L"財務A");
        CHECK(std::string(AnsiText(L"").Get()).empty());
    }

    TEST_CASE("a variable comes back whole: what the callee wrote, then the rest, zeros included")
    {
        std::wstring variable(8, L'\0');
        AnsiVariable buffer(variable);
        std::memcpy(buffer.Get(), "財務", 4);
        buffer.WriteBack();
        CHECK(variable == L"財務" + std::wstring(4, L'\0'));
    }

    TEST_CASE("a character without a Shift-JIS form comes back as a question mark")
    {
        std::wstring variable = L"C:\\한글";
        AnsiVariable buffer(variable);
        buffer.WriteBack();
        CHECK(variable == L"C:\\??");
    }

    TEST_CASE("only a text that converts to Shift-JIS and back unchanged has an exact form")
    {
        for (const wchar_t* exact : {L"", L"C:\\経理\\旧", L"C:\\ｶﾅ ?"})
            CHECK(HasExactAnsiForm(exact));
        // Best fit would make a backslash of the yen sign and "e" of "é".
        for (const wchar_t* inexact : {L"C:\\経理\u00A5旧", L"C:\\caf\u00E9", L"C:\\한글"})
            CHECK_FALSE(HasExactAnsiForm(inexact));
    }
}

// --- The library's exports -------------------------------------------------------------

TEST_CASE("IsXpOrLater and IsVistaOrLater follow the Windows version that the library sees")
{
    CHECK(IsXpOrLater() == 1); // Wine reports Windows 7
    CHECK(IsVistaOrLater() == 1);
    {
        HelperSeesWindows xp("winxp");
        CHECK(RunHelper("IsXpOrLater IsVistaOrLater") == "1 | 0");
    }
    {
        HelperSeesWindows windows2000("win2k");
        CHECK(RunHelper("IsXpOrLater IsVistaOrLater") == "0 | 0");
    }
}

TEST_CASE("IsInstanceRunning is 0 at a process's first call, then 1 there and in every other "
          "process")
{
    CHECK(IsInstanceRunning() == 0);
    CHECK(IsInstanceRunning() == 1);
    CHECK(RunHelper("IsInstanceRunning") == "1");
    // The mutex is system-wide.
    HANDLE marker = OpenMutexA(SYNCHRONIZE, FALSE, "Global\\Zeltran");
    CHECK(marker != nullptr);
    CloseHandle(marker);
}

TEST_CASE("GrantUsersFullControl passes on the grant's status: 0, -1 for a missing folder, -4 "
          "off a fixed drive")
{
    ScopedFolder folder("C:\\vk_grant\\accounts");
    std::wstring path = L"C:\\vk_grant\\accounts";
    CHECK(GrantUsersFullControl(path) == 0);
    CHECK(path == L"C:\\vk_grant\\accounts");

    std::wstring missing = L"C:\\vk_grant\\経理データ";
    CHECK(GrantUsersFullControl(missing) == -1);
    CHECK(missing == L"C:\\vk_grant\\経理データ");
    std::wstring network = L"\\\\server\\share\\accounts";
    CHECK(GrantUsersFullControl(network) == -4);
    RemoveTree("C:\\vk_grant");
}

TEST_CASE("RunDelAppDataFile deletes this user's VirtualStore copy: 1, then 0")
{
    const std::string store = LocalAppData() + "\\VirtualStore\\Windows";
    MakeFolders(store);
    WriteFileBytes(store + "\\lw_dbe32.ini", "[DIR]\r\n");
    std::wstring name = L"lw_dbe32.ini";
    CHECK(RunDelAppDataFile(name) == 1);
    CHECK_FALSE(PathExists(store + "\\lw_dbe32.ini"));
    CHECK(RunDelAppDataFile(name) == 0);
    CHECK(name == L"lw_dbe32.ini");
}

TEST_CASE("RunCheckVeskaFolder and RunSetVeskaFolder find and record the system drive's "
          "\\VESKAEX")
{
    const std::string log = WindowsDir() + "\\" VK_HISTORY_LOG_FILE;
    CHECK(RunCheckVeskaFolder() == 0);
    {
        ScopedFolder exchange("C:\\VESKAEX");
        CHECK(RunCheckVeskaFolder() == 1);
        RunSetVeskaFolder();
        const std::vector<IniEntry> entries = IniEntries(log, VK_HISTORY_SECTION);
        REQUIRE(entries.size() == 1);
        CHECK(entries[0].key == "C:\\VESKAEX");
        CHECK(entries[0].value == "ZELTRAN財務EX連動");
    }
    DeleteFileA(log.c_str());
}

TEST_SUITE("RunChkNetDrv")
{
    TEST_CASE("with no remembered network drive it returns 0 and the buffer stays 1024 NULs")
    {
        unsigned char allDrives = '1';
        std::wstring message(kMessageBufferLength, L'\0');
        CHECK(RunChkNetDrv(allDrives, message) == 0);
        CHECK(message == std::wstring(kMessageBufferLength, L'\0'));
    }

    TEST_CASE("two reconnected drives: the library's message comes back at the start of the "
              "caller's buffer, the rest of it after")
    {
        FakeNetwork network("E:remembered=\\\\files\\e;G:remembered=\\\\files\\g");
        const std::string message = "管理者承認モードでE，Gドライブに接続しました。";
        const size_t characters = Wide(message).size();
        const size_t rest = kMessageBufferLength - message.size();
        CHECK(RunHelperIn(network.Folder(), "RunChkNetDrv") ==
              "1 | [" + message + "] | " + std::to_string(characters + rest));
    }
}
