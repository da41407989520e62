// Control IDs of the folder dialog, shared with its tests.
#pragma once

enum FrmOptionControl {
    kFrameACL = 201,
    kCmbDrive,
    kTxtDir,
    kDir1,
    kLblACL,
    kCmdOK,
    kCmdClose,
};

// Window class of the folder dialog.
#define VK_UTL_OPTION_CLASS L"VK_UTL.FrmOption"
