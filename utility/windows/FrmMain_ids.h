// Control IDs of the main window, shared with its tests.
#pragma once

enum FrmMainControl {
    kFrmVESKA = 101,
    kCmdView,
    kCmdVESKA,
    kCmdAdd,
    kLblOption,
    kLblVESKA,
    kCmdExit,
    kFrameFont,
    kCmdOK_FONT,
    kChkFont,
    kLblMode,
    kLblFont,
};

// Window class of the main window.
#define VK_UTL_MAIN_CLASS L"VK_UTL.FrmMain"
