// VK_CMD: the VESKA Windows utility's actions on the command line, for
// start-up scripts, Intune, Configuration Manager and PDQ. It never shows a
// window: every outcome is a line on standard output and an exit code.
#include "basCommon.h"
#include "command_line.h"
#include "commands.h"
#include "exit_codes.h"
#include "run_time_error.h"

#include <windows.h>

namespace {

const wchar_t* const kHelp[] = {
    L"VESKA Windows ユーティリティ Ver.1.10 (コマンド ライン)",
    L"",
    L"  VK_CMD.exe /grant             アプリケーションのフォルダに Users グループのフルコントロールを設定します。",
    L"  VK_CMD.exe /grant \"フォルダ\"  指定したフォルダに設定します。",
    L"  VK_CMD.exe /check             何も変更せずに、/grant で変わるものと残るものを調べます。",
    L"  VK_CMD.exe /check \"フォルダ\"  指定したフォルダを調べます。",
    L"  VK_CMD.exe /fixpitch:on       固定ピッチフォントのサイズを Windows 2000 と同等にします。",
    L"  VK_CMD.exe /fixpitch:off      固定ピッチフォントのサイズを元に戻します。",
    L"  VK_CMD.exe /restore           設定前のアクセス権の控えを新しい順に一覧にします。",
    L"  VK_CMD.exe /restore \"控え\"    その控えのアクセス権に戻します。",
    L"  VK_CMD.exe /restore last \"フォルダ\"  そのフォルダの最新の控えに戻します。",
    L"",
    L"各行: OK / ERROR / DUE / LEFT / SKIP、フォルダ、結果 (タブ区切り)",
    L"終了コード:",
    L"  0     完了 (/check: 変更なし)",
    L"  1     失敗したフォルダがある (/check: 設定が必要)",
    L"  2     実行できない (管理者でない、ユーティリティが実行中、Windows 2000 以前)",
    L"  3     実行時エラー (VKSVC.dll がないなど)",
    L"  6     /check: 設定しても残るもの、または失敗するものがある (/restore: 戻さずに残したものがある)",
    L"  87    コマンド ラインの誤り",
    L"  3010  完了、再起動後に有効",
};

void PrintHelp(ConsoleOutput& out)
{
    for (const wchar_t* line : kHelp)
        out.Line(line);
}

// A multi-line error text as one line.
std::wstring OneLine(std::wstring text)
{
    for (wchar_t& character : text)
        if (character == L'\r' || character == L'\n')
            character = L' ';
    std::wstring line;
    for (wchar_t character : text)
        if (character != L' ' || line.empty() || line.back() != L' ')
            line += character;
    return line;
}

int Run(ConsoleOutput& out, const Command& command)
{
    if (const int refusal = RefusalBeforeWork(out))
        return refusal;
    switch (command.mode) {
    case Mode::GrantApplications:
        return GrantApplicationFoldersCommand(out);
    case Mode::GrantFolder:
        return GrantFolderCommand(out, command.folder);
    case Mode::CheckApplications:
        return CheckApplicationFoldersCommand(out);
    case Mode::CheckFolder:
        return CheckFolderCommand(out, command.folder);
    case Mode::FontSwitchOn:
        return FontSwitchCommand(out, true);
    case Mode::RestoreList:
        return ListBackupsCommand(out);
    case Mode::RestoreFile:
        return RestoreBackupCommand(out, command.folder);
    case Mode::RestoreNewest:
        return RestoreNewestCommand(out, command.folder);
    default:
        return FontSwitchCommand(out, false);
    }
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    // Run as SYSTEM by a start-up script, a box of Windows' own would wait
    // forever for a click in a session that nobody sees.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    // Before anything is bound, as in the utility: it runs elevated.
    RemoveCurrentDirectoryFromDllSearch();
    RefuseJunctionsOfOrdinaryUsers();

    ConsoleOutput out;
    const Command command = ParseCommandLine(argc, argv);
    if (command.mode == Mode::Help || command.mode == Mode::Invalid) {
        PrintHelp(out);
        return command.mode == Mode::Help ? kExitDone : kExitUsage;
    }
    try {
        return Run(out, command);
    } catch (...) {
        out.Report(Outcome::Error, L"-", OneLine(DescribeCurrentError()));
        return kExitRunTimeError;
    }
}
