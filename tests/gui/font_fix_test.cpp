// The fixed-pitch font frame: the switch read back when the window loads,
// and the button that sets or removes it and offers a restart.
#include "FrmMain_ids.h"
#include "font_switch_key.h"
#include "test_support.h"
#include "utility_session.h"

#include <doctest.h>

using namespace gui;
using vkui::BoxIcon;

namespace {

const wchar_t kCompatible[] = L"現在、Windows2000のOS互換状態で稼動しています。";
const wchar_t kRestartQuestion[] =
    L"設定が正しく処理されました。再起動後、設定が有効になります。\r\n今すぐ再起動しますか？";

vktest::RegKey FontKey() { return vktest::RegKey::Open(HKEY_LOCAL_MACHINE, kFontKey, KEY_ALL_ACCESS); }

// The switch as the test leaves it for the next start; removed afterwards.
class FontSwitch {
public:
    FontSwitch() { FontKey().DeleteValue(kFontValue); }
    ~FontSwitch() { FontKey().DeleteValue(kFontValue); }
    void SetDword(DWORD number) { FontKey().SetDword(kFontValue, number); }
    void SetString(const std::string& text) { FontKey().SetString(kFontValue, text); }
    bool IsPresent() { return FontKey().HasValue(kFontValue); }
    DWORD Number()
    {
        DWORD type = 0;
        std::string bytes;
        FontKey().Query(kFontValue, &type, &bytes);
        DWORD number = 0xFFFFFFFF;
        if (type == REG_DWORD && bytes.size() == sizeof number)
            memcpy(&number, bytes.data(), sizeof number);
        return number;
    }
};

struct FontFrame {
    UtilitySession utility;
    HWND window = nullptr;

    FontFrame() { window = utility.WaitForMainWindow(); }
    ~FontFrame()
    {
        if (window != nullptr)
            PostMessageW(window, WM_CLOSE, 0, 0);
        utility.ExitCode();
    }
    HWND Box() const { return Control(window, kChkFont); }
    HWND Button() const { return Control(window, kCmdOK_FONT); }
    std::wstring Mode() const { return Caption(Control(window, kLblMode)); }

    // Presses the button and reads the box it shows, then answers it.
    vkui::MessageBoxContent Press(int answer)
    {
        Click(Button());
        HWND box = vkui::WaitForMessageBox(utility.Program());
        if (box == nullptr)
            return {};
        const vkui::MessageBoxContent content = vkui::ReadMessageBox(box);
        buttonEnabledDuringBox = IsEnabled(Button());
        vkui::PressButton(box, answer);
        vkui::WaitUntil([&] { return IsEnabled(Button()); });
        return content;
    }
    bool buttonEnabledDuringBox = true;
};

std::vector<int> ButtonIds(const vkui::MessageBoxContent& box)
{
    std::vector<int> ids;
    for (const vkui::DialogButton& button : box.buttons)
        ids.push_back(button.id);
    return ids;
}

void CheckRestartQuestion(const vkui::MessageBoxContent& box)
{
    CHECK(box.title == L"VESKA Windows ユーティリティ");
    CHECK(box.text == kRestartQuestion);
    CHECK(box.icon == BoxIcon::Information);
    CHECK(ButtonIds(box) == std::vector<int>{IDYES, IDNO});
}

} // namespace

TEST_CASE("the check box and status line show the switch as it is stored")
{
    FontSwitch fontSwitch;
    struct Stored {
        const char* what;
        int dword; // -1: no DWORD
        const char* text;
        int box;
        bool compatible;
    };
    const Stored cases[] = {
        {"absent", -1, nullptr, BST_UNCHECKED, false},
        {"0", 0, nullptr, BST_UNCHECKED, true},
        {"1", 1, nullptr, BST_CHECKED, true},
        {"2", 2, nullptr, BST_INDETERMINATE, true},
        {"7", 7, nullptr, BST_CHECKED, true},
        {"a REG_SZ", -1, "1", BST_UNCHECKED, false},
    };
    for (const Stored& stored : cases) {
        CAPTURE(stored.what);
        FontKey().DeleteValue(kFontValue);
        if (stored.dword >= 0)
            fontSwitch.SetDword(stored.dword);
        if (stored.text != nullptr)
            fontSwitch.SetString(stored.text);
        FontFrame frame;
        REQUIRE(frame.window != nullptr);
        CHECK(CheckState(frame.Box()) == stored.box);
        CHECK(frame.Mode() == (stored.compatible ? kCompatible : L""));
    }
}

TEST_CASE("a click on the box toggles it between checked and unchecked")
{
    FontSwitch fontSwitch;
    fontSwitch.SetDword(2);
    FontFrame frame;
    REQUIRE(frame.window != nullptr);
    SendMessageW(frame.Box(), BM_CLICK, 0, 0);
    CHECK(CheckState(frame.Box()) == BST_CHECKED);
    SendMessageW(frame.Box(), BM_CLICK, 0, 0);
    CHECK(CheckState(frame.Box()) == BST_UNCHECKED);
    SendMessageW(frame.Box(), BM_CLICK, 0, 0);
    CHECK(CheckState(frame.Box()) == BST_CHECKED);
    // Space toggles it as a click does.
    REQUIRE(vkui::WaitUntil([&] { return vkui::ForegroundWindow() == frame.window; }));
    vkui::PressKey(VK_SPACE);
    CHECK(vkui::WaitUntil([&] { return CheckState(frame.Box()) == BST_UNCHECKED; }));
}

TEST_CASE("checking the box and pressing the button stores 1 and asks to restart")
{
    FontSwitch fontSwitch;
    FontFrame frame;
    REQUIRE(frame.window != nullptr);
    SendMessageW(frame.Box(), BM_CLICK, 0, 0);
    CheckRestartQuestion(frame.Press(IDNO));
    CHECK_FALSE(frame.buttonEnabledDuringBox);
    CHECK(fontSwitch.Number() == 1);
    CHECK(IsEnabled(frame.Button()));
    CHECK(frame.Mode() == L""); // not read again
    CHECK_FALSE(frame.utility.Program().HasExited());
}

TEST_CASE("unchecking the box and pressing the button removes the switch and asks to restart")
{
    FontSwitch fontSwitch;
    fontSwitch.SetDword(1);
    FontFrame frame;
    REQUIRE(frame.window != nullptr);
    SendMessageW(frame.Box(), BM_CLICK, 0, 0);
    CheckRestartQuestion(frame.Press(IDNO));
    CHECK_FALSE(fontSwitch.IsPresent());
    CHECK(frame.Mode() == kCompatible);
}

TEST_CASE("a box left unchecked or greyed (2 stored) removes the switch; absent, it still reports success")
{
    FontSwitch fontSwitch;
    for (const int stored : {-1, 2}) {
        CAPTURE(stored);
        if (stored >= 0)
            fontSwitch.SetDword(stored);
        FontFrame frame;
        REQUIRE(frame.window != nullptr);
        CheckRestartQuestion(frame.Press(IDNO));
        CHECK_FALSE(fontSwitch.IsPresent());
    }
}

TEST_CASE("the focus starts on the check box and comes back to a button disabled while it ran")
{
    FontSwitch fontSwitch;
    FontFrame frame;
    REQUIRE(frame.window != nullptr);
    CHECK(vkui::WaitUntil([&] { return vkui::FocusedControl(frame.window) == frame.Box(); }));
    CHECK(vkui::ShowsFocusRectangle(frame.Box()));

    // Tab, then Space presses the button; after its box the focus is back on it.
    vkui::PressKey(VK_TAB);
    REQUIRE(vkui::WaitUntil([&] { return vkui::FocusedControl(frame.window) == frame.Button(); }));
    vkui::PressKey(VK_SPACE);
    CheckRestartQuestion(frame.utility.AnswerMessageBox(IDNO));
    CHECK(vkui::WaitUntil([&] { return vkui::FocusedControl(frame.window) == frame.Button(); }));
    CHECK(IsEnabled(frame.Button()));

    // Enter presses the focused button too.
    vkui::PressKey(VK_RETURN);
    CheckRestartQuestion(frame.utility.AnswerMessageBox(IDNO));

    // Another program's window in between keeps the focus where it was.
    CHECK(vkui::WaitUntil([&] { return vkui::FocusedControl(frame.window) == frame.Button(); }));
    vkui::SwitchAwayAndBack(frame.window);
    CHECK(vkui::ForegroundWindow() == frame.window);
    CHECK(vkui::WaitUntil([&] { return vkui::FocusedControl(frame.window) == frame.Button(); }));
}

TEST_CASE("a switch that cannot be written gives the error box and no restart question")
{
    FontSwitch fontSwitch;
    FontFrame frame;
    REQUIRE(frame.window != nullptr);
    SendMessageW(frame.Box(), BM_CLICK, 0, 0);
    vkui::MessageBoxContent box;
    {
        vktest::ReadOnlyForEveryone noWrite(HKEY_LOCAL_MACHINE, kFontKey);
        box = frame.Press(IDOK);
    }
    CHECK(box.text == L"設定処理でエラーが発生しました。");
    CHECK(box.icon == BoxIcon::None);
    CHECK(ButtonIds(box) == std::vector<int>{IDOK});
    CHECK_FALSE(frame.utility.MessageBoxAppears(vkui::kQuietWait));
    CHECK_FALSE(fontSwitch.IsPresent());
    CHECK(IsEnabled(frame.Button()));
}
