// The folder dialog's controls, as the dialog makes them and as the tests
// measure them.
#pragma once

#include "FrmOption_ids.h"
#include "form_layout.h"

// In tab order; positions in twips relative to the frame or window.
inline const ControlSpec kFrmOptionControls[] = {
    // id          name         kind                   parent     caption                        left  top   width height tab font
    {kFrameACL, "FrameACL", ControlKind::Frame,    0,         L"フォルダのアクセス権変更",  120,  120, 7335, 3135, 0, 0},
    {kCmbDrive, "cmbDrive", ControlKind::ComboBox, kFrameACL, L"",                          240, 1200, 1815,  300, 1, kSmallFontSize},
    {kTxtDir,   "txtDir",   ControlKind::TextBox,  kFrameACL, L"",                          240,  720, 5895,  315, 2, kSmallFontSize},
    {kDir1,     "Dir1",     ControlKind::DirList,  kFrameACL, L"",                         2160, 1200, 3975, 1560, 3, kSmallFontSize},
    {kLblACL,   "lblACL",   ControlKind::Label,    kFrameACL,
     L"Usersグループにフルアクセス権限を付与したいフォルダのパスを指定してください。",
                                                                                            240,  360, 6795,  375, 4, kSmallFontSize},
    {kCmdOK,    "CmdOK",    ControlKind::Button,   0,         L"実行",                     1740, 3540, 1755,  375, 5, 0},
    {kCmdClose, "CmdClose", ControlKind::Button,   0,         L"閉じる",                   3780, 3540, 1755,  375, 6, 0},
};
