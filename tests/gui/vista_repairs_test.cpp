// The repairs of the start-up gate on Vista and later: the VirtualStore copy
// of lw_dbe32.ini is removed and remembered network drives are reconnected
// (through a stand-in mpr.dll) before the window shows, and before the
// administrator check can refuse the user.
#include "FrmMain_ids.h"
#include "font_switch_key.h"
#include "test_support.h"
#include "utility_session.h"

#include <doctest.h>

using namespace gui;
using vkui::BoxIcon;

namespace {

const wchar_t kFolder[] = L"C:\\vknet";

// VK_UTL.exe with VKSVC.dll and the stand-in mpr.dll beside it.
struct UtilityWithNetworkDrives {
    vktest::ScopedFolder folder{"C:\\vknet"};
    UtilityWithNetworkDrives()
    {
        const std::wstring bin = UtilityPath().substr(0, UtilityPath().find_last_of(L'\\'));
        CopyFileW((bin + L"\\VK_UTL.exe").c_str(), L"C:\\vknet\\VK_UTL.exe", FALSE);
        CopyFileW((bin + L"\\VKSVC.dll").c_str(), L"C:\\vknet\\VKSVC.dll", FALSE);
        CopyFileW((bin + L"\\fake_mpr.dll").c_str(), L"C:\\vknet\\mpr.dll", FALSE);
    }
    vkui::StartOptions Options(const std::wstring& drives) const
    {
        vkui::StartOptions options;
        options.program = std::wstring(kFolder) + L"\\VK_UTL.exe";
        options.workingDirectory = kFolder;
        options.environment = {{L"VK_FAKE_MPR", drives}};
        return options;
    }
};

std::string VirtualStoreCopy()
{
    return vktest::LocalAppData() + "\\VirtualStore\\Windows\\lw_dbe32.ini";
}

void CloseMainWindow(UtilitySession& utility)
{
    PostMessageW(utility.MainWindow(), WM_CLOSE, 0, 0);
    CHECK(utility.ExitCode() == 0);
}

} // namespace

TEST_CASE("reconnected drives are named in an information box before the window shows")
{
    UtilityWithNetworkDrives setup;
    UtilitySession utility(setup.Options(L"E:remembered=\\\\files\\e;F:offline=\\\\gone\\f;"
                                         L"G:remembered=\\\\files\\g;H:connected=\\\\files\\h"));
    const vkui::MessageBoxContent box = utility.AnswerMessageBox();
    CHECK(box.title == L"VESKA Windows ユーティリティ");
    CHECK(box.text == L"管理者承認モードでE，Gドライブに接続しました。");
    CHECK(box.icon == BoxIcon::Information);
    REQUIRE(utility.WaitForMainWindow() != nullptr);
    CloseMainWindow(utility);
}

TEST_CASE("when no drive needs reconnecting no box comes between the start and the window")
{
    UtilityWithNetworkDrives setup;
    UtilitySession utility(setup.Options(L"H:connected=\\\\files\\h"));
    REQUIRE(utility.WaitForMainWindow() != nullptr);
    CHECK(vkui::FindWindows(utility.Program().Id(), {L"", vkui::kDialogClass}).empty());
    CloseMainWindow(utility);
}

TEST_CASE("a user without administrator rights gets both repairs before the refusal")
{
    UtilityWithNetworkDrives setup;
    vktest::MakeFolders(vktest::LocalAppData() + "\\VirtualStore\\Windows");
    vktest::WriteFileBytes(VirtualStoreCopy(), "[DIR]\r\n");
    vktest::ReadOnlyForEveryone notAdministrator(HKEY_LOCAL_MACHINE, kFontKey);
    UtilitySession utility(setup.Options(L"E:remembered=\\\\files\\e"));

    CHECK(utility.AnswerMessageBox().text == L"管理者承認モードでEドライブに接続しました。");
    CHECK_FALSE(vktest::PathExists(VirtualStoreCopy()));
    const vkui::MessageBoxContent refusal = utility.AnswerMessageBox();
    CHECK(refusal.text == L"このプログラムは管理者権限をもつユーザーで実行してください。");
    CHECK(refusal.icon == BoxIcon::Error);
    CHECK(utility.ExitCode() == 1);
}

TEST_CASE("on Windows XP nothing is reconnected and no copy is removed")
{
    UtilityWithNetworkDrives setup;
    vktest::SetWindowsVersion("winxp");
    vktest::MakeFolders(vktest::LocalAppData() + "\\VirtualStore\\Windows");
    vktest::ScopedFile copy(VirtualStoreCopy(), "[DIR]\r\n");
    UtilitySession utility(setup.Options(L"E:remembered=\\\\files\\e"));
    REQUIRE(utility.WaitForMainWindow() != nullptr);
    CHECK(vkui::FindWindows(utility.Program().Id(), {L"", vkui::kDialogClass}).empty());
    CHECK(vktest::PathExists(copy.Path()));
    CloseMainWindow(utility);
    vktest::SetWindowsVersion("win7");
}
