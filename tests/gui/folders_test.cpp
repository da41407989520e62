// The lower frame: the applications' folders found or not, the grant on all
// of them, and the history view.
#include "FrmMain_ids.h"
#include "history_log_format.h"
#include "test_support.h"
#include "utility_session.h"

#include <doctest.h>

using namespace gui;
using vkui::BoxIcon;

namespace {

const wchar_t kFoldersFound[] =
    L"VESKA財務・税務アプリケーションが使用するフォルダのアクセスユーザーに「Usersグループ」を追加し、"
    L"\r\n「フルコントロール権限」を設定します。";
const wchar_t kNoFolders[] =
    L"フォルダのアクセス権変更が必要なVESKA財務・税務アプリケーションは使用されていません。";
const wchar_t kOption[] =
    L"フォルダを指定してアクセス権を変更する場合、以下の「追加」ボタンにより設定をお願いします。"
    L"\r\n指定されたフォルダに対し「Usersグループ」を追加し、「フルコントロール権限」を設定します。";
const wchar_t kNoHistory[] = L"アクセス権を変更した履歴はありません。";

std::string LogPath() { return vktest::WindowsDir() + "\\" VK_HISTORY_LOG_FILE; }

struct MainWindow {
    UtilitySession utility;
    HWND window = nullptr;

    MainWindow() { window = utility.WaitForMainWindow(); }
    ~MainWindow()
    {
        if (window != nullptr)
            PostMessageW(window, WM_CLOSE, 0, 0);
        utility.ExitCode();
    }
    HWND operator[](int id) const { return Control(window, id); }

    vkui::MessageBoxContent Press(int id)
    {
        Click((*this)[id]);
        return utility.AnswerMessageBox();
    }
};

} // namespace

TEST_CASE("without any of the applications' folders the grant button is hidden")
{
    vktest::RemoveTree(LogPath());
    MainWindow main;
    REQUIRE(main.window != nullptr);
    CHECK(Caption(main[kLblVESKA]) == kNoFolders);
    CHECK_FALSE(IsShown(main[kCmdVESKA]));
    CHECK(IsShown(main[kCmdView]));
    CHECK(IsShown(main[kCmdAdd]));
    CHECK(Caption(main[kLblOption]) == kOption);

    SUBCASE("the history view says there is no history when the log does not exist")
    {
        const vkui::MessageBoxContent box = main.Press(kCmdView);
        CHECK(box.text == kNoHistory);
        CHECK(box.icon == BoxIcon::Information);
    }
    SUBCASE("an empty log shows an empty information box")
    {
        vktest::ScopedFile empty(LogPath(), "");
        const vkui::MessageBoxContent box = main.Press(kCmdView);
        CHECK(box.title == L"VESKA Windows ユーティリティ");
        CHECK(box.text == L"");
        CHECK(box.icon == BoxIcon::Information);
    }
}

TEST_CASE("the grant on the applications' folders, followed by the history view")
{
    vktest::RemoveTree(LogPath());
    vktest::ScopedFolder commonData("C:\\VESKADAT");
    // A data folder of 4,000 files (big-tree.sh): its grant runs for seconds.
    vktest::ScopedFile application(vktest::WindowsDir() + "\\appRC02.ini", "[DIR]\r\nDB_DIR=C:\\vktree\r\n");
    MainWindow main;
    REQUIRE(main.window != nullptr);
    CHECK(Caption(main[kLblVESKA]) == kFoldersFound);
    REQUIRE(IsShown(main[kCmdVESKA]));

    const vkui::MessageBoxContent done =
        main.utility.GrantWhileAlive(main.window, main[kCmdVESKA], main[kCmdExit]);
    CHECK(done.text == L"設定処理は終了しました。");
    CHECK(done.icon == BoxIcon::None);
    CHECK(vkui::WaitUntil([&] { return IsEnabled(main[kCmdVESKA]); }));
    CHECK(IsShown(main[kCmdVESKA]));
    CHECK(Caption(main[kLblVESKA]) == kFoldersFound);

    const std::vector<vktest::IniEntry> entries = vktest::IniEntries(LogPath(), VK_HISTORY_SECTION);
    REQUIRE(entries.size() == 3);
    CHECK(entries[0].key == "C:\\vktree");
    CHECK(entries[0].value == "財務OrvikVasto");
    const vkui::MessageBoxContent history = main.Press(kCmdView);
    CHECK(history.icon == BoxIcon::Information);
    CHECK(history.text == L"" VK_HISTORY_SECTION_LINE L"\r\nC:\\vktree=" + vktest::Widen(entries[0].value) +
                          L"\r\n\r\n"
                          L"C:\\VESKADAT=VESKA共通情報\r\n\r\n"
                          L"C:\\VESKAEX=VESKA財務EX連動\r\n\r\n");
    vktest::RemoveTree("C:\\VESKAEX");
    vktest::RemoveTree(LogPath());
}

TEST_CASE("the history view shows every line of the log, each followed by an empty line")
{
    vktest::ScopedFile log(LogPath(), "H\r\nL1\r\nL2\r\n");
    MainWindow main;
    REQUIRE(main.window != nullptr);
    CHECK(main.Press(kCmdView).text == L"H\r\n\r\nL1\r\n\r\nL2\r\n\r\n");
}

TEST_CASE("closing the window any way ends the program as the close button does")
{
    SUBCASE("the close button")
    {
        MainWindow main;
        REQUIRE(main.window != nullptr);
        Click(main[kCmdExit]);
        CHECK(main.utility.ExitCode() == 0);
    }
    SUBCASE("the window's close box")
    {
        MainWindow main;
        REQUIRE(main.window != nullptr);
        PostMessageW(main.window, WM_SYSCOMMAND, SC_CLOSE, 0);
        CHECK(main.utility.ExitCode() == 0);
    }
}

TEST_CASE("a VKSVC.dll without the grant is named at the press of the grant button, and the utility ends")
{
    // The grant runs on a worker thread: its error must still reach the
    // window's report, not end the program silently.
    const std::wstring folder = vktest::Widen(vktest::ProgramDir()) + L"\\gui_vksvc_without_grants";
    REQUIRE(CopyFileW(UtilityPath().c_str(), (folder + L"\\VK_UTL.exe").c_str(), FALSE));
    vkui::StartOptions options;
    options.program = folder + L"\\VK_UTL.exe";
    UtilitySession utility(options);
    HWND window = utility.WaitForMainWindow();
    REQUIRE(window != nullptr);
    Click(Control(window, kCmdVESKA));
    const vkui::MessageBoxContent box = utility.AnswerMessageBox();
    CHECK(box.text == L"実行時エラー '453':\r\n\r\nDLL エントリ ポイント SetVeskaFolder が VKSVC.dll に見つかりません。");
    CHECK(box.icon == BoxIcon::Error);
    CHECK(utility.ExitCode() == 2);
}
