// The folder dialog on a PC whose only fixed drive is FAT32.
#include "FrmMain_ids.h"
#include "FrmOption_ids.h"
#include "utility_session.h"

#include <doctest.h>

using namespace gui;

TEST_CASE("without a fixed NTFS drive the dialog says so and hides what needs a drive")
{
    // The dialog must see a FAT32 drive, not a drive whose volume query fails.
    wchar_t volumeName[MAX_PATH + 1] = {};
    wchar_t fileSystem[MAX_PATH + 1] = {};
    CHECK(GetVolumeInformationW(L"C:\\", volumeName, MAX_PATH + 1, nullptr, nullptr, nullptr,
                                fileSystem, MAX_PATH + 1));
    CHECK(std::wstring(fileSystem) == L"FAT32");

    UtilitySession utility;
    HWND main = utility.WaitForMainWindow();
    REQUIRE(main != nullptr);
    Click(Control(main, kCmdAdd));
    HWND dialog = vkui::WaitForWindow(utility.Program(), {L"", VK_UTL_OPTION_CLASS});
    REQUIRE(dialog != nullptr);

    CHECK(Caption(Control(dialog, kLblACL)) == L"NTFSフォーマットのドライブは存在しません。");
    CHECK_FALSE(IsShown(Control(dialog, kTxtDir)));
    CHECK_FALSE(IsShown(Control(dialog, kCmbDrive)));
    CHECK_FALSE(IsShown(Control(dialog, kDir1)));
    CHECK(IsShown(Control(dialog, kFrameACL)));
    CHECK(IsShown(Control(dialog, kLblACL)));
    CHECK(IsShown(Control(dialog, kCmdClose)));
    CHECK_FALSE(utility.MessageBoxAppears(vkui::kQuietWait));
    // The focus skips the hidden controls.
    CHECK(vkui::WaitUntil([&] { return vkui::FocusedControl(dialog) == Control(dialog, kCmdClose); }));

    Click(Control(dialog, kCmdClose));
    vkui::WaitUntil([&] { return !IsWindow(dialog); });
    CHECK(IsEnabled(main));
    PostMessageW(main, WM_CLOSE, 0, 0);
    CHECK(utility.ExitCode() == 0);
}
