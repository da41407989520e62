// The font fix of the 32-bit utility on 64-bit Windows: the switch is read
// where Windows' font engine reads it, in the 64-bit view of the registry.
// (Wine shares GRE_Initialize between the views, as Windows 7 does, so the
// access masks themselves are checked in utility_registry.)
#include "FrmMain_ids.h"
#include "font_switch_key.h"
#include "test_support.h"
#include "utility_session.h"

#include <doctest.h>

using namespace gui;

namespace {

// The switch's line as the 64-bit reg.exe prints it from the 64-bit view
// ("Jpn98FixPitch    REG_DWORD    0x1"); empty when the value is missing.
std::string SwitchIn64BitView()
{
    // sysnative: system32 itself, which a 32-bit program otherwise sees
    // redirected to syswow64.
    vktest::ChildProcess reg(std::string("C:\\windows\\sysnative\\reg.exe query \"HKLM\\") +
                             kFontKey + "\" /v " + kFontValue + " /reg:64");
    std::string found;
    for (int line = 0; line < 8; ++line) {
        const std::string text = reg.ReadLine();
        if (text.find(kFontValue) != std::string::npos)
            found = text.substr(text.find(kFontValue));
    }
    const DWORD exitCode = reg.Wait();
    CHECK(exitCode == (found.empty() ? 1u : 0u));
    return found;
}

} // namespace

TEST_CASE("under WOW64 the font fix sets and removes the switch in the 64-bit view")
{
    BOOL wow64 = FALSE;
    REQUIRE(IsWow64Process(GetCurrentProcess(), &wow64));
    REQUIRE(wow64);
    vktest::RegKey::Open(HKEY_LOCAL_MACHINE, kFontKey, KEY_ALL_ACCESS | KEY_WOW64_64KEY)
        .DeleteValue(kFontValue);
    REQUIRE(SwitchIn64BitView().empty());

    for (const bool set : {true, false}) {
        CAPTURE(set);
        UtilitySession utility;
        HWND window = utility.WaitForMainWindow();
        REQUIRE(window != nullptr);
        HWND box = Control(window, kChkFont);
        CHECK(CheckState(box) == (set ? BST_UNCHECKED : BST_CHECKED)); // read back
        SendMessageW(box, BM_CLICK, 0, 0);
        Click(Control(window, kCmdOK_FONT));
        const vkui::MessageBoxContent question = utility.AnswerMessageBox(IDNO);
        CHECK(question.text.rfind(L"設定が正しく処理されました。", 0) == 0);
        PostMessageW(window, WM_CLOSE, 0, 0);
        CHECK(utility.ExitCode() == 0);

        const std::string stored = SwitchIn64BitView();
        MESSAGE((set ? "set" : "unset") << ": reg query /reg:64 -> \"" << stored << "\"");
        if (set) {
            CHECK(stored.find("REG_DWORD") != std::string::npos);
            CHECK(stored.size() >= 3);
            CHECK(stored.substr(stored.size() - 3) == "0x1");
        } else {
            CHECK(stored.empty());
        }
    }
}
