// The folder dialog, opened from the main window's add button on a PC with
// two fixed NTFS drives (C: named SYSTEM, D: unnamed) and drives it never
// lists (fixed FAT32, CD-ROM, network, removable), and C:\vk-links\link, a
// link (links.sh). The skipped case runs
// alone on a PC with every drive letter in use (gui_all_drives).
#include "FrmMain_ids.h"
#include "FrmOption_ids.h"
#include "history_log_format.h"
#include "test_support.h"
#include "utility_session.h"

#include <doctest.h>

#include <cstdlib>

using namespace gui;
using vkui::BoxIcon;

namespace {

const wchar_t kWholeDrive[] = L"ドライブ全体のアクセス権を変更することはできません。";
const wchar_t kFailed[] = L"設定処理でエラーが発生しました。";
const wchar_t kDone[] = L"設定処理は終了しました。";

std::string LogPath() { return vktest::WindowsDir() + "\\" VK_HISTORY_LOG_FILE; }

std::vector<vktest::IniEntry> LogEntries()
{
    return vktest::IniEntries(LogPath(), VK_HISTORY_SECTION);
}

void SetText(HWND control, const std::wstring& text)
{
    DWORD_PTR ignored;
    SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                        SMTO_ABORTIFHUNG, 5000, &ignored);
}

LRESULT Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result);
    return static_cast<LRESULT>(result);
}

std::vector<std::wstring> Items(HWND control, UINT countMessage, UINT lengthMessage, UINT textMessage)
{
    std::vector<std::wstring> items;
    const LRESULT count = Send(control, countMessage);
    for (LRESULT i = 0; i < count; ++i) {
        std::wstring text(Send(control, lengthMessage, i) + 1, L'\0');
        Send(control, textMessage, i, reinterpret_cast<LPARAM>(&text[0]));
        text.resize(lstrlenW(text.c_str()));
        items.push_back(text);
    }
    return items;
}

// A folder whose name Shift-JIS cannot spell, made while it lives.
struct WideFolder {
    explicit WideFolder(const wchar_t* name)
        : path(name), made(CreateDirectoryW(name, nullptr) != FALSE) {}
    ~WideFolder() { RemoveDirectoryW(path.c_str()); }
    const std::wstring path;
    const bool made;
};

// The main window with the folder dialog opened from it.
struct FolderDialog {
    UtilitySession utility;
    HWND main = nullptr;
    HWND dialog = nullptr;

    FolderDialog()
    {
        main = utility.WaitForMainWindow();
        if (main != nullptr)
            Open();
    }
    ~FolderDialog()
    {
        if (dialog != nullptr && IsWindow(dialog))
            PostMessageW(dialog, WM_CLOSE, 0, 0);
        if (main != nullptr)
            PostMessageW(main, WM_CLOSE, 0, 0);
        utility.ExitCode();
    }
    void Open()
    {
        Click(Control(main, kCmdAdd));
        dialog = vkui::WaitForWindow(utility.Program(), {L"", VK_UTL_OPTION_CLASS});
    }
    void Close() { Click((*this)[kCmdClose]); WaitUntilClosed(); }
    bool WaitUntilClosed() const
    {
        return vkui::WaitUntil([&] { return !IsWindow(dialog); });
    }
    HWND Focus() const { return vkui::FocusedControl(dialog); }
    // Tabs until `id` has the focus (the keyboard order is a ring).
    bool TabTo(int id) const
    {
        for (int i = 0; i < 8; ++i) {
            if (vkui::WaitUntil([&] { return Focus() == (*this)[id]; }, 500))
                return true;
            vkui::PressKey(VK_TAB);
        }
        return false;
    }
    HWND operator[](int id) const { return Control(dialog, id); }

    std::vector<std::wstring> Drives() const
    {
        return Items((*this)[kCmbDrive], CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT);
    }
    std::vector<std::wstring> Folders() const
    {
        return Items((*this)[kDir1], LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT);
    }
    std::wstring Path() const { return Caption((*this)[kTxtDir]); }

    void SelectDrive(int index)
    {
        HWND combo = (*this)[kCmbDrive];
        Send(combo, CB_SETCURSEL, index);
        Send(GetParent(combo), WM_COMMAND, MAKEWPARAM(kCmbDrive, CBN_SELCHANGE),
             reinterpret_cast<LPARAM>(combo));
    }
    int FolderIndex(const std::wstring& name) const
    {
        const std::vector<std::wstring> folders = Folders();
        for (size_t i = 0; i < folders.size(); ++i)
            if (folders[i] == name)
                return static_cast<int>(i);
        return -1;
    }
    void Highlight(const std::wstring& name)
    {
        HWND list = (*this)[kDir1];
        Send(list, LB_SETCURSEL, FolderIndex(name));
        Send(GetParent(list), WM_COMMAND, MAKEWPARAM(kDir1, LBN_SELCHANGE),
             reinterpret_cast<LPARAM>(list));
    }
    void OpenFolder(const std::wstring& name)
    {
        HWND list = (*this)[kDir1];
        Send(list, LB_SETCURSEL, FolderIndex(name));
        Send(GetParent(list), WM_COMMAND, MAKEWPARAM(kDir1, LBN_DBLCLK),
             reinterpret_cast<LPARAM>(list));
    }
    // Presses the execute button and answers the box it shows.
    vkui::MessageBoxContent Execute(const std::wstring& path)
    {
        SetText((*this)[kTxtDir], path);
        Click((*this)[kCmdOK]);
        vkui::MessageBoxContent box = utility.AnswerMessageBox();
        vkui::WaitUntil([&] { return IsEnabled((*this)[kCmdOK]); });
        return box;
    }
};

} // namespace

TEST_CASE("the dialog lists the fixed NTFS drives and opens at the first one's root")
{
    FolderDialog dialog;
    REQUIRE(dialog.dialog != nullptr);
    CHECK(Caption(dialog.dialog) == L"フォルダのアクセス権変更");
    CHECK_FALSE(IsEnabled(dialog.main)); // the main window waits for the dialog
    CHECK(dialog.Drives() == std::vector<std::wstring>{L"C:[ SYSTEM ]", L"D:[  ]"});
    CHECK(Send(dialog[kCmbDrive], CB_GETCURSEL) == 0);
    CHECK(dialog.Path() == L"C:\\");
    CHECK(dialog.Folders().front() == L"C:\\");
    CHECK(dialog.FolderIndex(L"windows") > 0);
    CHECK(Caption(dialog[kLblACL]) ==
          L"Usersグループにフルアクセス権限を付与したいフォルダのパスを指定してください。");

    // Modal as Windows dialogs are: owned by the main window, centred on it,
    // active, the focus on the first control with its rectangle shown.
    CHECK(vkui::Owner(dialog.dialog) == dialog.main);
    RECT inner, outer;
    GetWindowRect(dialog.dialog, &inner);
    GetWindowRect(dialog.main, &outer);
    CHECK(std::abs((inner.left + inner.right) - (outer.left + outer.right)) <= 1);
    CHECK(std::abs((inner.top + inner.bottom) - (outer.top + outer.bottom)) <= 1);
    CHECK(vkui::WaitUntil([&] { return vkui::ForegroundWindow() == dialog.dialog; }));
    CHECK(vkui::WaitUntil([&] { return dialog.Focus() == dialog[kCmbDrive]; }));
    CHECK(vkui::ShowsFocusRectangle(dialog[kCmbDrive]));

    // Closed, it hands the activation back to the main window, whose focus
    // is where it was: on the add button, which the click focused.
    dialog.Close();
    CHECK(IsEnabled(dialog.main));
    CHECK(vkui::WaitUntil([&] { return vkui::ForegroundWindow() == dialog.main; }));
    CHECK(vkui::WaitUntil([&] { return vkui::FocusedControl(dialog.main) == Control(dialog.main, kCmdAdd); }));

    dialog.Open();
    REQUIRE(dialog.dialog != nullptr);
    CHECK(dialog.Drives() == std::vector<std::wstring>{L"C:[ SYSTEM ]", L"D:[  ]"});
    // The drive list drops as wide as its entries, at least as wide as the box.
    RECT box;
    GetWindowRect(dialog[kCmbDrive], &box);
    CHECK(Send(dialog[kCmbDrive], CB_GETDROPPEDWIDTH) >= box.right - box.left);

    // Esc closes it as 閉じる does.
    REQUIRE(vkui::WaitUntil([&] { return vkui::ForegroundWindow() == dialog.dialog; }));
    vkui::PressKey(VK_ESCAPE);
    CHECK(dialog.WaitUntilClosed());
    CHECK(vkui::WaitUntil([&] { return vkui::ForegroundWindow() == dialog.main; }));
}

TEST_CASE("a whole drive is refused however it is spelled, before anything changes")
{
    vktest::RemoveTree(LogPath());
    FolderDialog dialog;
    REQUIRE(dialog.dialog != nullptr);
    for (const wchar_t* spelling :
         {L"C:\\", L"D:\\", L"C:\\.", L"C:\\\\", L"C:\\windows\\..", L"C:/", L"C:\\ "}) {
        CAPTURE(Utf8(spelling));
        const vkui::MessageBoxContent box = dialog.Execute(spelling);
        CHECK(box.title == L"VESKA Windows ユーティリティ");
        CHECK(box.text == kWholeDrive);
        CHECK(box.icon == BoxIcon::Error);
        CHECK(IsEnabled(dialog[kCmdOK]));
    }
    // Any text of three characters counts as a whole drive, a name too.
    CHECK(dialog.Execute(L"abc").text == kWholeDrive);

    // Enter in the path box presses 実行, refusal included; after the
    // message the focus is back in the path box.
    REQUIRE(dialog.TabTo(kTxtDir));
    SetText(dialog[kTxtDir], L"C:\\");
    vkui::PressKey(VK_RETURN);
    CHECK(dialog.utility.AnswerMessageBox().text == kWholeDrive);
    CHECK(vkui::WaitUntil([&] { return dialog.Focus() == dialog[kTxtDir]; }));
    CHECK_FALSE(vktest::PathExists(LogPath()));
}

TEST_CASE("opening a folder sets the path; highlighting does not; a drive returns to its root")
{
    vktest::ScopedFolder data("C:\\vkdata\\inner");
    // Hidden and system, as Windows' protected folders are: not listed.
    vktest::ScopedFolder hidden("C:\\vkdata\\hidden");
    vktest::ScopedFolder protectedFolder("C:\\vkdata\\protected");
    SetFileAttributesA(hidden.Path().c_str(), FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesA(protectedFolder.Path().c_str(), FILE_ATTRIBUTE_SYSTEM);
    SetFileAttributesA(protectedFolder.Path().c_str(), FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN);
    // Wine keeps these attributes in extended attributes, which the emulated
    // guest's file system lacks: there the folder is an ordinary one.
    const DWORD kHiddenSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    const bool isProtected =
        (GetFileAttributesA(protectedFolder.Path().c_str()) & kHiddenSystem) == kHiddenSystem;
    if (!isProtected)
        MESSAGE("this file system keeps no hidden and system attributes");
    FolderDialog dialog;
    REQUIRE(dialog.dialog != nullptr);

    dialog.Highlight(L"vkdata");
    CHECK(dialog.Path() == L"C:\\");

    dialog.OpenFolder(L"vkdata");
    CHECK(dialog.Path() == L"C:\\vkdata");
    std::vector<std::wstring> listed = {L"C:\\", L"vkdata", L"hidden", L"inner"};
    if (!isProtected)
        listed.push_back(L"protected");
    CHECK(dialog.Folders() == listed);

    dialog.OpenFolder(L"inner");
    CHECK(dialog.Path() == L"C:\\vkdata\\inner");

    dialog.OpenFolder(L"C:\\");
    CHECK(dialog.Path() == L"C:\\");

    dialog.OpenFolder(L"vkdata");
    dialog.SelectDrive(0);
    CHECK(dialog.Path() == L"C:\\");

    dialog.SelectDrive(1);
    CHECK(dialog.Path() == L"D:\\");
    CHECK(dialog.Folders().front() == L"D:\\");

    // Enter on the folder list opens the highlighted folder; on a focused
    // button it presses that button.
    REQUIRE(dialog.TabTo(kDir1));
    dialog.Highlight(L"data");
    vkui::PressKey(VK_RETURN);
    CHECK(vkui::WaitUntil([&] { return dialog.Path() == L"D:\\data"; }));
    REQUIRE(dialog.TabTo(kCmdClose));
    vkui::PressKey(VK_RETURN);
    CHECK(dialog.WaitUntilClosed());
}

TEST_CASE("a granted folder is recorded once, exactly as typed, and the dialog stays open")
{
    vktest::RemoveTree(LogPath());
    vktest::ScopedFolder data("C:\\vkdata");
    FolderDialog dialog;
    REQUIRE(dialog.dialog != nullptr);
    dialog.OpenFolder(L"vkdata");

    const vkui::MessageBoxContent box = dialog.Execute(dialog.Path());
    CHECK(box.text == kDone);
    CHECK(box.icon == BoxIcon::None);
    CHECK(IsWindow(dialog.dialog));
    CHECK(IsEnabled(dialog[kCmdOK]));
    CHECK(dialog.Path() == L"C:\\vkdata");

    const std::vector<vktest::IniEntry> entries = LogEntries();
    REQUIRE(entries.size() == 1);
    CHECK(entries[0].key == "C:\\vkdata");
    CHECK(entries[0].value == "追加フォルダ");

    // A folder of 4,000 files (big-tree.sh): its grant runs for seconds.
    SetText(dialog[kTxtDir], L"C:\\vktree");
    const vkui::MessageBoxContent tree =
        dialog.utility.GrantWhileAlive(dialog.dialog, dialog[kCmdOK], dialog[kCmdClose]);
    CHECK(tree.text == kDone);
    CHECK(LogEntries().size() == 2u);
    CHECK(dialog.Path() == L"C:\\vktree");
    vktest::RemoveTree(LogPath());
}

TEST_CASE("a path refused by the dialog or the library gives the error message and no record")
{
    vktest::RemoveTree(LogPath());
    vktest::ScopedFolder data("C:\\vkdata");
    FolderDialog dialog;
    REQUIRE(dialog.dialog != nullptr);
    // Windows reads the names of the second line as C:\vkdata, which the
    // text and the history would not name; the third is a link.
    for (const wchar_t* path : {L"", L"D:", L"C:\\no such folder", L"G:\\data",
                                L"C:\\vkdata.", L"C:\\vkdata ", L"C:\\windows\\..\\vkdata",
                                L"C:/vkdata", L"C:\\\\vkdata", L"C:\\vk-links\\link",
                                L"C:\\vkdata \\sub", L"C:\\vkdata. \\sub"}) {
        CAPTURE(Utf8(path));
        const vkui::MessageBoxContent box = dialog.Execute(path);
        CHECK(box.text == kFailed);
        CHECK(box.icon == BoxIcon::None);
    }
    CHECK_FALSE(vktest::PathExists(LogPath()));
}

TEST_CASE("a name without an exact Shift-JIS form is refused, though its look-alike twin exists")
{
    vktest::RemoveTree(LogPath());
    // Best fit would turn the yen sign into a backslash and "é" into "e".
    vktest::ScopedFolder twin("C:\\経理\\旧");
    vktest::ScopedFolder plainTwin("C:\\cafe");
    const WideFolder yen(L"C:\\経理\u00A5旧");
    const WideFolder accented(L"C:\\caf\u00E9");
    REQUIRE((yen.made && accented.made));
    FolderDialog dialog;
    REQUIRE(dialog.dialog != nullptr);
    for (const std::wstring& path : {yen.path, accented.path}) {
        CAPTURE(Utf8(path));
        const vkui::MessageBoxContent box = dialog.Execute(path);
        MESSAGE(Utf8(path) << ": box \"" << Utf8(box.text) << "\", icon " << box.icon
                           << ", log " << std::string(vktest::PathExists(LogPath()) ? "written" : "absent"));
        CHECK(box.text == kFailed);
        CHECK(box.icon == BoxIcon::None);
    }
    CHECK_FALSE(vktest::PathExists(LogPath()));
}

TEST_CASE("with every letter in use the dialog lists all 26 drives" * doctest::skip())
{
    FolderDialog dialog;
    REQUIRE(dialog.dialog != nullptr);
    const std::vector<std::wstring> drives = dialog.Drives();
    CHECK(drives.size() == 26);
    REQUIRE_FALSE(drives.empty());
    CHECK(drives.front().substr(0, 2) == L"A:");
    CHECK(drives.back().substr(0, 2) == L"Z:");
    CHECK(IsShown(dialog[kCmdOK]));
}
