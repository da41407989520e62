// The utility's start-up gate: each refusal shows one box and ends the
// program before its window is ever shown.
#include "FrmMain_ids.h"
#include "font_switch_key.h"
#include "test_support.h"
#include "utility_session.h"

#include <doctest.h>

using namespace gui;
using vkui::BoxIcon;

namespace {

const wchar_t kAppTitle[] = L"VESKA Windows ユーティリティ";
const DWORD kExitRefused = 1;
const DWORD kExitRunTimeError = 2;

// The utility refused to start: one box with this text and icon, then the end.
vkui::MessageBoxContent CheckRefusal(UtilitySession& utility, const std::wstring& text,
                                     BoxIcon icon, DWORD exitCode = kExitRefused)
{
    const vkui::MessageBoxContent box = utility.AnswerMessageBox();
    CHECK(box.title == kAppTitle);
    CHECK(box.text == text);
    CHECK(box.icon == icon);
    CHECK(utility.ExitCode() == exitCode);
    CHECK(vkui::FindWindows(utility.Program().Id(), {L"", VK_UTL_MAIN_CLASS}).empty());
    return box;
}

std::string VirtualStoreCopy()
{
    return vktest::LocalAppData() + "\\VirtualStore\\Windows\\lw_dbe32.ini";
}

} // namespace

TEST_CASE("on Windows 2000 the utility refuses to run, with the Windows XP message")
{
    vktest::SetWindowsVersion("win2k");
    UtilitySession utility;
    CheckRefusal(utility, L"このプログラムはWindows XP以降のオペレーティングシステムのみ動作可能です。",
                 BoxIcon::Error);
    vktest::SetWindowsVersion("win7");
}

TEST_CASE("a second copy in the same logon shows only the already-running warning")
{
    // The marker's name carries the logon session: the session-wide name
    // of earlier versions stops nobody.
    vktest::Handle sessionWide(CreateMutexW(nullptr, FALSE, L"Local\\VK_UTL.RunningInThisLogon"));
    REQUIRE(sessionWide.IsValid());
    UtilitySession first;
    REQUIRE(first.WaitForMainWindow() != nullptr);
    {
        UtilitySession second;
        CheckRefusal(second, std::wstring(kAppTitle) + L"は、既に起動されています。",
                     BoxIcon::Warning);
    }
    CHECK_FALSE(first.Program().HasExited());
    PostMessageW(first.MainWindow(), WM_CLOSE, 0, 0);
    CHECK(first.ExitCode() == 0);
}

TEST_CASE("a copy that passed the gate in another logon refuses this one after the font read-back")
{
    // Another logon's copy is seen only through the system-wide marker.
    vktest::ChildProcess otherLogon(vktest::ProgramPath("vksvc_call.exe") +
                                    " DoIExist s:Global\\Zeltran --hold");
    REQUIRE(otherLogon.ReadLine() == "0");
    {
        UtilitySession utility;
        CheckRefusal(utility, L"このプログラムは別のユーザーがこのPCで実行しています。",
                     BoxIcon::Error);
    }
    otherLogon.CloseInput();
    CHECK(otherLogon.Wait() == 0);

    UtilitySession afterwards;
    CHECK(afterwards.WaitForMainWindow() != nullptr);
}

TEST_CASE("a user without administrator rights is refused after the Vista repairs ran")
{
    vktest::MakeFolders(vktest::LocalAppData() + "\\VirtualStore\\Windows");
    vktest::WriteFileBytes(VirtualStoreCopy(), "[DIR]\r\nDB_DIR=C:\\stale\r\n");
    {
        vktest::ReadOnlyForEveryone notAdministrator(HKEY_LOCAL_MACHINE, kFontKey);
        UtilitySession utility;
        CheckRefusal(utility, L"このプログラムは管理者権限をもつユーザーで実行してください。",
                     BoxIcon::Error);
    }
    CHECK_FALSE(vktest::PathExists(VirtualStoreCopy()));
}

TEST_CASE("without VKSVC.dll beside it the utility names the library and ends")
{
    vktest::ScopedFolder alone("C:\\alone");
    vktest::ScopedFolder downloads("C:\\downloads");
    CopyFileW(UtilityPath().c_str(), L"C:\\alone\\VK_UTL.exe", FALSE);
    // A copy only in the working directory is never loaded by the elevated utility.
    CopyFileA((vktest::ProgramDir() + "\\VKSVC.dll").c_str(), "C:\\downloads\\VKSVC.dll", FALSE);
    REQUIRE(vktest::PathExists("C:\\downloads\\VKSVC.dll"));
    for (const wchar_t* workingDirectory : {L"C:\\alone", L"C:\\downloads"}) {
        CAPTURE(Utf8(workingDirectory));
        vkui::StartOptions options;
        options.program = L"C:\\alone\\VK_UTL.exe";
        options.workingDirectory = workingDirectory;
        UtilitySession utility(options);
        const vkui::MessageBoxContent box =
            CheckRefusal(utility,
                         L"実行時エラー '53':\r\n\r\nファイルが見つかりません: VKSVC.dll\r\n"
                         L"(bIsWindowsVersionOK の呼び出し)",
                         BoxIcon::Error, kExitRunTimeError);
        MESSAGE("working directory " << Utf8(workingDirectory) << ": box \"" << Utf8(box.text)
                                     << "\", exit code " << utility.ExitCode());
    }
}
