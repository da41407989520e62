// The restart that the font fix offers, answered Yes: Windows is asked to
// restart, and the running programs see their session end. (Run in a
// Windows of its own: the session of that prefix ends.) Under Wine a
// restart boots the prefix again, which runs the machine's RunOnce
// entries; a shutdown or power-off ends there.
#include "FrmMain_ids.h"
#include "font_switch_key.h"
#include "test_support.h"
#include "utility_session.h"

#include <doctest.h>

using namespace gui;

TEST_CASE("answering Yes to the restart question ends the Windows session")
{
    const std::string journal = "C:\\session.txt";
    vktest::ChildProcess sentinel(vktest::ProgramPath("session_sentinel.exe") + " " + journal);
    REQUIRE(sentinel.ReadLine() == "ready");

    const std::string booted = "C:\\booted.txt";
    vktest::RegKey::Create(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce")
        .SetString("booted", "cmd /c echo booted> " + booted);

    UtilitySession utility;
    HWND main = utility.WaitForMainWindow();
    REQUIRE(main != nullptr);
    SendMessageW(Control(main, kChkFont), BM_CLICK, 0, 0);
    Click(Control(main, kCmdOK_FONT));
    const vkui::MessageBoxContent question = utility.AnswerMessageBox(IDYES);
    CHECK(question.text ==
          L"設定が正しく処理されました。再起動後、設定が有効になります。\r\n今すぐ再起動しますか？");

    // The utility's window is closed with the session; so is the sentinel's.
    CHECK(utility.ExitCode(2 * vkui::kDefaultWait) != kNoExit);
    sentinel.Wait(2 * vkui::kDefaultWait);
    CHECK(vktest::ReadFileBytes(journal).find("query") != std::string::npos);
    // A restart, not a power-off: Windows came up again.
    CHECK(vkui::WaitUntil([&] { return !vktest::ReadFileBytes(booted).empty(); }, 30000));
    vktest::RegKey key = vktest::RegKey::Open(HKEY_LOCAL_MACHINE, kFontKey);
    CHECK(key.HasValue(kFontValue));
}
