// The UI driver against message boxes of known content.
#include "test_support.h"
#include "ui_driver.h"
#include "wide_text_checks.h"

#include <doctest.h>

using namespace vkui;
using vktest::Widen;

namespace {

const DWORD kExitWait = 10000;

std::wstring TestFolder() { return Widen(vktest::ProgramDir()); }

StartOptions ShowBox(UINT style, const std::wstring& text = L"text")
{
    return {TestFolder() + L"\\ui_driver_show_box.exe", std::to_wstring(style), TestFolder(),
            {{L"VK_BOX_TEXT", text}}};
}

struct IconCase {
    UINT style;
    BoxIcon icon;
};

const IconCase kIcons[] = {
    {MB_ICONINFORMATION, BoxIcon::Information}, {MB_ICONWARNING, BoxIcon::Warning},
    {MB_ICONERROR, BoxIcon::Error},             {MB_ICONQUESTION, BoxIcon::Question},
    {0, BoxIcon::None},
};

} // namespace

TEST_CASE("each standard icon is told from the screen's pixels")
{
    for (const IconCase& icon : kIcons) {
        CAPTURE(icon.icon);
        Program box(ShowBox(MB_OK | icon.style));
        HWND window = WaitForMessageBox(box);
        REQUIRE(window != nullptr);
        CHECK(ReadMessageBox(window).icon == icon.icon);
        PressButton(window, IDOK);
        CHECK(box.WaitForExit(kExitWait) == DWORD{IDOK});
    }
}

TEST_CASE("title, text and buttons are read; a pressed button closes the box with its ID")
{
    Program box(ShowBox(MB_YESNOCANCEL, L"本文の一行目\n二行目"));
    HWND window = WaitForMessageBox(box);
    REQUIRE(window != nullptr);
    const MessageBoxContent content = ReadMessageBox(window);
    CHECK(content.title == TestFolder()); // the working directory given
    CHECK(content.text == L"本文の一行目\n二行目"); // the environment given
    CHECK(content.owner == nullptr);
    REQUIRE(content.buttons.size() == 3);
    CHECK(content.buttons[0].id == IDYES);
    CHECK(content.buttons[1].id == IDNO);
    CHECK(content.buttons[2].id == IDCANCEL);
    CHECK_FALSE(PressButton(window, IDOK));
    CHECK(PressButton(window, IDNO));
    CHECK(box.WaitForExit(kExitWait) == DWORD{IDNO});
}

TEST_CASE("waiting for a window of a program that ends without one gives null at its end")
{
    Program exits({Widen(vktest::WindowsDir()) + L"\\system32\\cmd.exe", L"/c exit 7", L"", {}});
    REQUIRE(exits.Started());
    CHECK(WaitForWindow(exits, {}, kDefaultWait) == nullptr);
    CHECK(exits.WaitForExit(kExitWait) == DWORD{7});
}
