// The font fix of the 32-bit utility on 64-bit Windows: the switch lands
// in the 64-bit view, which Windows' font engine reads. (Wine shares
// GRE_Initialize between the views, as Windows 7 does, so utility_registry
// checks the access masks themselves.)
#include "FrmMain_ids.h"
#include "font_switch_key.h"
#include "test_support.h"
#include "utility_session.h"

#include <doctest.h>

#include <sstream>

using namespace gui;

namespace {

// The switch's line as the 64-bit reg.exe (sysnative: not redirected to
// syswow64) prints it from the 64-bit view, its words joined by one blank
// ("Jpn98FixPitch REG_DWORD 0x1"); empty when the value is missing.
std::string SwitchIn64BitView()
{
    vktest::ChildProcess reg(std::string("C:\\windows\\sysnative\\reg.exe query \"HKLM\\") +
                             kFontKey + "\" /v " + kFontValue + " /reg:64");
    std::string found;
    for (int line = 0; line < 8; ++line) {
        std::istringstream words(reg.ReadLine());
        std::string word;
        std::string text;
        while (words >> word)
            text += (text.empty() ? "" : " ") + word;
        if (text.rfind(kFontValue, 0) == 0)
            found = text;
    }
    CHECK(reg.Wait() == (found.empty() ? 1u : 0u));
    return found;
}

} // namespace

TEST_CASE("under WOW64 the font fix sets and removes the switch in the 64-bit view")
{
    BOOL wow64 = FALSE;
    REQUIRE((IsWow64Process(GetCurrentProcess(), &wow64) && wow64));
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
        CHECK(utility.AnswerMessageBox(IDNO).text.rfind(L"設定が正しく処理されました。", 0) == 0);
        PostMessageW(window, WM_CLOSE, 0, 0);
        CHECK(utility.ExitCode() == 0);

        const std::string stored = SwitchIn64BitView();
        MESSAGE((set ? "set" : "unset") << ": reg query /reg:64 gives \"" << stored << "\"");
        CHECK(stored == (set ? "Jpn98FixPitch REG_DWORD 0x1" : ""));
    }
}
