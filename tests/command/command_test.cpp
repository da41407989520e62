// VK_CMD.exe as a deployment tool runs it: each mode's lines, exit code and
// records, the refusals, and never a window. It runs beside a VKSVC.dll that
// forwards to the real one and makes advapi32 keep DACLs and compute what is
// inherited, as Windows does and Wine does not (vksvc_with_store.cpp).
#include "doctest.h"
#include "pe_image.h"
#include "test_support.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

using namespace vktest;

namespace {

const std::string kTools = "C:\\vk\\command_double"; // VK_CMD.exe, the double, VKSVC_real.dll
const char kPerUser[] = "SKIP\t-\tVirtualStore のコピーの削除とネットワーク ドライブの再接続は、"
                        "ユーザーごとの修復のため調べません。そのユーザーで vsrepair.exe または "
                        "VK_UTL.exe を実行してください。";
const char kInstanceName[] = "Global\\Zeltran";

struct Run {
    DWORD exitCode;
    std::vector<std::string> lines; // up to the first empty one
    bool sawWindow;                 // a visible top-level window of its own
    bool heldInstance;              // the utility's single-instance object existed meanwhile
};

BOOL CALLBACK FindVisibleWindow(HWND window, LPARAM found)
{
    auto* search = reinterpret_cast<std::pair<DWORD, bool>*>(found);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    search->second |= process == search->first && IsWindowVisible(window);
    return TRUE;
}

Run RunCommand(const std::string& folder, const std::string& arguments)
{
    ChildProcess child("\"" + folder + "\\VK_CMD.exe\" " + arguments);
    REQUIRE(child.Started());
    Run run = {kNoExitCode, {}, false, false};
    const DWORD start = GetTickCount();
    while (WaitForSingleObject(child.Process(), 1) == WAIT_TIMEOUT &&
           GetTickCount() - start < 120000 * WaitScale()) {
        std::pair<DWORD, bool> search(child.Id(), false);
        EnumWindows(FindVisibleWindow, reinterpret_cast<LPARAM>(&search));
        run.sawWindow |= search.second;
        const Handle instance(OpenMutexA(SYNCHRONIZE, FALSE, kInstanceName));
        run.heldInstance |= instance.IsValid();
    }
    run.exitCode = child.Wait(1);
    for (std::string line = child.ReadLine(); !line.empty(); line = child.ReadLine())
        run.lines.push_back(line);
    return run;
}

std::string Joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

void CheckRun(const Run& run, DWORD exitCode, const std::vector<std::string>& lines)
{
    CHECK(run.exitCode == exitCode);
    CHECK(Joined(run.lines) == Joined(lines));
    CHECK_FALSE(run.sawWindow);
}

std::string LogPath() { return WindowsDir() + "\\VK_XP.log"; }

std::vector<std::string> Records()
{
    std::vector<std::string> records;
    for (const IniEntry& entry : IniEntries(LogPath(), "アクセス権追加フォルダ一覧"))
        records.push_back(entry.key + "=" + entry.value);
    return records;
}

// VK_CMD.exe copied into `folder`, beside whatever VKSVC.dll is there.
std::string ToolsIn(const std::string& folder)
{
    MakeFolders(folder);
    REQUIRE(CopyFileA("C:\\vk\\VK_CMD.exe", (folder + "\\VK_CMD.exe").c_str(), FALSE));
    return folder;
}

struct Step {
    const char* what;
    std::function<void()> arrange;
    std::string arguments;
    DWORD exitCode;
    std::vector<std::string> lines;
    size_t records; // in the history log afterwards
};

} // namespace

TEST_CASE("each mode prints a line per folder, exits with its code and records as the windows do")
{
    ToolsIn(kTools);
    REQUIRE(CopyFileA("C:\\vk\\VKSVC.dll", (kTools + "\\VKSVC_real.dll").c_str(), FALSE));
    const ScopedFolder common("C:\\VESKADAT");
    const ScopedFolder veskaex("C:\\VESKAEX");
    RemoveTree(veskaex.Path());
    WriteFileBytes("C:\\VESKADAT\\a.txt", "a");
    MakeFolders("C:\\VESKADAT\\sub");
    WriteFileBytes("C:\\VESKADAT\\sub\\b.txt", "b");
    const ScopedFolder data("C:\\vk-cmd\\data");
    const std::string secondName = "C:\\VESKADAT\\sub\\second.txt";
    // An ini file and the log that another program holds: unshared, or with
    // a range of bytes locked.
    const std::string ini = WindowsDir() + "\\QX_DBE32.ini";
    WriteFileBytes(ini, "[MAIN_SERVER]\r\nDBCOM_DIR=C:\\vk-cmd\\nothing\r\n");
    Handle held;
    const auto hold = [&held](const std::string& path, DWORD sharing, bool lockBytes) {
        held = Handle();
        held = Handle(CreateFileA(path.c_str(), GENERIC_READ, sharing, nullptr, OPEN_EXISTING, 0,
                                  nullptr));
        OVERLAPPED start = {};
        REQUIRE((!lockBytes || LockFileEx(held.Get(), LOCKFILE_EXCLUSIVE_LOCK, 0, 10, 0, &start)));
    };
    const std::string iniLine = "ERROR\t" + ini + "\tデータベース：このファイルを読めません。";
    const std::string unshared = "ほかのプログラムが共有を許さずに開いています。";
    const Step kSteps[] = {
        {"a check before any grant", [] {}, "/check", 1,
         {"DUE\tC:\\VESKADAT\tVESKA共通情報：このフォルダと下位の 3 個に設定が必要です。",
          "DUE\tC:\\VESKAEX\tVESKA財務EX連動：存在しません。/grant で作成して設定します。", kPerUser},
         0},
        {"the grant of the applications' folders", [] {}, "/grant", 0,
         {"OK\tC:\\VESKADAT\tVESKA共通情報", "OK\tC:\\VESKAEX\tVESKA財務EX連動"}, 2},
        {"a check after it", [] {}, "/check", 0,
         {"OK\tC:\\VESKADAT\tVESKA共通情報：設定済みです。",
          "OK\tC:\\VESKAEX\tZELTRAN財務EX連動：設定済みです。", kPerUser},
         2},
        {"a check with an ini file held unshared", [&] { hold(ini, 0, false); }, "/check", 1,
         {iniLine + unshared, "OK\tC:\\VESKADAT\tVESKA共通情報：設定済みです。",
          "OK\tC:\\VESKAEX\tZELTRAN財務EX連動：設定済みです。", kPerUser},
         2},
        {"a grant with it held", [] {}, "/grant", 1,
         {iniLine + unshared, "OK\tC:\\VESKADAT\tVESKA共通情報", "OK\tC:\\VESKAEX\tZELTRAN財務EX連動"}, 2},
        {"a check with a range of its bytes locked", [&] { hold(ini, FILE_SHARE_READ, true); }, "/check", 1,
         {iniLine + "ほかのプログラムがファイルの一部をロックしています。",
          "OK\tC:\\VESKADAT\tVESKA共通情報：設定済みです。",
          "OK\tC:\\VESKAEX\tZELTRAN財務EX連動：設定済みです。", kPerUser},
         2},
        {"a grant whose records cannot be written: no OK from the older ones",
         [&] { hold(LogPath(), FILE_SHARE_READ, false); }, "/grant", 1,
         {"ERROR\tC:\\VESKADAT\tVESKA共通情報：VK_XP.log に記録できません。" + unshared,
          "ERROR\tC:\\VESKAEX\tZELTRAN財務EX連動：VK_XP.log に記録できません。" + unshared},
         2},
        {"a check with a file of two names below",
         [&] {
             held = Handle();
             REQUIRE(CreateHardLinkA(secondName.c_str(), "C:\\VESKADAT\\a.txt", nullptr));
         },
         "/CHECK", 6,
         {"LEFT\tC:\\VESKADAT\tVESKA共通情報：設定済みです。設定しても残るもの: 別名のあるファイル 2 個。",
          "OK\tC:\\VESKAEX\tZELTRAN財務EX連動：設定済みです。", kPerUser},
         2},
        {"a grant that leaves it", [] {}, "/grant", 1,
         {"ERROR\tC:\\VESKADAT\tVESKA共通情報エラー", "OK\tC:\\VESKAEX\tZELTRAN財務EX連動"}, 2},
        {"a folder checked and granted", [&] { RemoveTree(secondName); },
         "/check \"C:\\vk-cmd\\data\"", 1, {"DUE\tC:\\vk-cmd\\data\tこのフォルダに設定が必要です。"}, 2},
        {"a folder granted", [] {}, "-grant \"C:\\vk-cmd\\data\"", 0,
         {"OK\tC:\\vk-cmd\\data\t追加フォルダ"}, 3},
        {"a folder granted whose record cannot be written",
         [&] { hold(LogPath(), FILE_SHARE_READ, false); }, "/grant \"C:\\vk-cmd\\data\"", 1,
         {"ERROR\tC:\\vk-cmd\\data\t追加フォルダ：VK_XP.log に記録できません。"}, 3},
        {"a whole drive", [] {}, "/grant C:\\", 1,
         {"ERROR\tC:\\\tドライブ全体のアクセス権を変更することはできません。"}, 3},
        {"a name that Windows reads as another", [] {}, "/check \"C:\\vk-cmd\\data.\"", 6,
         {"ERROR\tC:\\vk-cmd\\data.\tWindows が別の名前として読むパス（末尾の . や空白、..、/ など）"
          "のため、設定しません。"},
         3},
        {"a folder that does not exist", [] {}, "/grant C:\\vk-cmd\\missing", 1,
         {"ERROR\tC:\\vk-cmd\\missing\tフォルダが存在しないか、開けません。"}, 3},
        {"the font switch on", [] {}, "/fixpitch:on", ERROR_SUCCESS_REBOOT_REQUIRED,
         {"OK\tJpn98FixPitch\t固定ピッチフォントのサイズを Windows 2000 と同等にしました。"
          "再起動後に有効になります。"},
         3},
        {"and on again", [] {}, "/fixpitch:on", 0,
         {"OK\tJpn98FixPitch\t既に Windows 2000 と同等のサイズに設定されています。"}, 3},
        {"the font switch off", [] {}, "/fixpitch:off", ERROR_SUCCESS_REBOOT_REQUIRED,
         {"OK\tJpn98FixPitch\t固定ピッチフォントのサイズを元に戻しました。再起動後に有効になります。"}, 3},
        {"and off again", [] {}, "/fixpitch:off", 0,
         {"OK\tJpn98FixPitch\t設定はありません。元のサイズのままです。"}, 3},
        {"help", [] {}, "/?", 0, {"VESKA Windows ユーティリティ Ver.1.10 (コマンド ライン)"}, 3},
        {"an unknown switch", [] {}, "/repair", ERROR_INVALID_PARAMETER,
         {"VESKA Windows ユーティリティ Ver.1.10 (コマンド ライン)"}, 3},
        {"a switch that takes no folder", [] {}, "/fixpitch:on C:\\vk-cmd\\data",
         ERROR_INVALID_PARAMETER, {"VESKA Windows ユーティリティ Ver.1.10 (コマンド ライン)"}, 3},
    };
    for (const Step& step : kSteps) {
        const std::string what = step.what;
        CAPTURE(what);
        step.arrange();
        const Run run = RunCommand(kTools, step.arguments);
        CheckRun(run, step.exitCode, step.lines);
        CHECK(Records().size() == step.records);
        if (step.arguments == "/grant")
            CHECK(run.heldInstance);
    }
    CHECK(Records() == std::vector<std::string>{"C:\\VESKADAT=VESKA共通情報エラー",
                                                "C:\\VESKAEX=ZELTRAN財務EX連動",
                                                "C:\\vk-cmd\\data=追加フォルダ"});
    RemoveTree(LogPath());
    RemoveTree(ini);
}

TEST_CASE("a grant's backup is listed and restored: saved objects exactly, later ones from their parent, replaced ones left")
{
    ToolsIn(kTools);
    REQUIRE(CopyFileA("C:\\vk\\VKSVC.dll", (kTools + "\\VKSVC_real.dll").c_str(), FALSE));
    // DACLs that earlier tests stored, of files whose numbers Wine gives again.
    RemoveTree("C:\\vk-dacl-store");
    const ScopedFolder undo("C:\\vk-cmd\\undo");
    WriteFileBytes(undo.Path() + "\\a.txt", "a");
    MakeFolders(undo.Path() + "\\sub");
    WriteFileBytes(undo.Path() + "\\sub\\b.txt", "b");
    const std::string check = "/check \"" + undo.Path() + "\"";
    const std::string due = "DUE\t" + undo.Path() + "\tこのフォルダと下位の ";
    CheckRun(RunCommand(kTools, check), 1, {due + "3 個に設定が必要です。"});
    CheckRun(RunCommand(kTools, "/grant \"" + undo.Path() + "\""), 0,
             {"OK\t" + undo.Path() + "\t追加フォルダ"});

    const Run list = RunCommand(kTools, "/restore");
    CHECK(list.exitCode == 0);
    REQUIRE_FALSE(list.lines.empty());
    const std::string& newest = list.lines.front();
    CHECK(newest.compare(0, 3, "OK\t") == 0);
    CHECK(newest.find("_C_vk-cmd_undo.txt\t") != std::string::npos);
    CHECK(newest.rfind("\t" + undo.Path() + "\t4 個") == newest.size() - undo.Path().size() - 6);
    const std::string name = newest.substr(3, newest.find('\t', 3) - 3);

    WriteFileBytes(undo.Path() + "\\sub\\later.txt", "later");
    const Run restored = RunCommand(kTools, "/restore last \"" + undo.Path() + "\\\\\"");
    CheckRun(restored, 0, {"OK\t" + name + "\t復元しました: 4 個。後から作られたもの 1 個には、"
                                         "親フォルダから引き継ぐアクセス権を設定しました。"});
    CHECK(restored.heldInstance);
    // As before the grant, and the later file as its folder passes down.
    CheckRun(RunCommand(kTools, check), 1, {due + "4 個に設定が必要です。"});

    // A file made again under its name is another: left, never written.
    WriteFileBytes(undo.Path() + "\\a.new", "again");
    RemoveTree(undo.Path() + "\\a.txt");
    REQUIRE(MoveFileA((undo.Path() + "\\a.new").c_str(), (undo.Path() + "\\a.txt").c_str()));
    CheckRun(RunCommand(kTools, "/restore " + name), 6,
             {"LEFT\t" + name + "\t復元しました: 3 個。後から作られたもの 1 個には、親フォルダから"
                                "引き継ぐアクセス権を設定しました。控えを作ったときと別のもの（置き換え"
                                "られたもの、リンク）1 個は、そのまま残しました。"});
    CheckRun(RunCommand(kTools, "/restore \"C:\\vk-cmd\\" + name + "\""), 1,
             {"ERROR\tC:\\vk-cmd\\" + name + "\tWindows フォルダの VK_DACL にある控えだけを復元します。"});
    CheckRun(RunCommand(kTools, "/restore last \"C:\\vk-cmd\\never\""), 1,
             {"ERROR\tC:\\vk-cmd\\never\tこのフォルダのアクセス権の控えはありません。"});
    CheckRun(RunCommand(kTools, "/restore last"), ERROR_INVALID_PARAMETER,
             {"VESKA Windows ユーティリティ Ver.1.10 (コマンド ライン)"});
    RemoveTree(LogPath());
}

TEST_CASE("every refusal and run-time error is a line and an exit code, never a box")
{
    const ScopedFolder common("C:\\VESKADAT");
    const std::string kXp = "ERROR\t-\tこのプログラムはWindows XP以降のオペレーティングシステムのみ動作可能です。";
    {
        const Handle utility(CreateMutexA(nullptr, FALSE, kInstanceName));
        CheckRun(RunCommand(ToolsIn(kTools), "/check"), 2,
                 {"ERROR\t-\tVESKA Windows ユーティリティは、既に起動されています。"});
    }
    {
        const ReadOnlyForEveryone standardUser(
            HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\GRE_Initialize");
        REQUIRE(standardUser.Applied());
        CheckRun(RunCommand(kTools, "/grant"), 2,
                 {"ERROR\t-\tこのプログラムは管理者権限をもつユーザーで実行してください。"});
    }
    SetWindowsVersion("win2k");
    CheckRun(RunCommand(kTools, "/fixpitch:on"), 2, {kXp});
    SetWindowsVersion("win7");
    CheckRun(RunCommand(ToolsIn("C:\\vk-cmd-alone"), "/check"), 3,
             {"ERROR\t-\t実行時エラー '53': ファイルが見つかりません: VKSVC.dll "
              "(bIsWindowsVersionOK の呼び出し)"});
    CheckRun(RunCommand(ToolsIn("C:\\vk\\gui_vksvc_without_grants"), "/grant C:\\VESKADAT"), 3,
             {"ERROR\t-\t実行時エラー '453': DLL エントリ ポイント AddAccessRights が VKSVC.dll "
              "に見つかりません。"});
    CHECK_FALSE(PathExists(LogPath()));
}

TEST_CASE("VK_CMD.exe is a terminal-server-aware console program that never asks for elevation, bound to the library at run time, its imports all on Windows 2000")
{
    const PeImage command("C:\\vk\\VK_CMD.exe");
    REQUIRE(command.IsValid());
    CHECK(command.Subsystem() == IMAGE_SUBSYSTEM_WINDOWS_CUI);
    CHECK(command.IsTerminalServerAware());
    CHECK_FALSE(command.ImportsLibrary("VKSVC.dll"));
    CHECK_FALSE(command.ImportsLibrary("ADVAPI32.dll"));
    // A console program: user32 would make it a GUI process with a desktop.
    CHECK_FALSE(command.ImportsLibrary("USER32.dll"));
    for (const PeImport& import : command.Imports()) {
        CAPTURE(import.function);
        CHECK(ExistsOnWindows2000(import));
    }
    const std::string image = ReadFileBytes("C:\\vk\\VK_CMD.exe");
    CHECK(image.find("level=\"asInvoker\"") != std::string::npos);
}
