// The main window's controls, as the window makes them and as the tests
// measure them.
#pragma once

#include "FrmMain_ids.h"
#include "form_layout.h"

// In creation order; positions in twips relative to the frame or window.
inline const ControlSpec kFrmMainControls[] = {
    // id            name          kind                  parent      caption                                   left  top   width height tab font
    {kFrmVESKA,   "FrmVESKA",   ControlKind::Frame,    0,          L"VESKA財務・税務アプリケーション",        120, 3000, 8895, 2895, 9, 0},
    {kCmdView,    "CmdView",    ControlKind::Button,   kFrmVESKA,  L"履歴確認",                              4500, 2400, 1755,  375, 4, 0},
    {kCmdVESKA,   "CmdVESKA",   ControlKind::Button,   kFrmVESKA,  L"実行",                                  6720, 1140, 1755,  375, 3, 0},
    {kCmdAdd,     "cmdAdd",     ControlKind::Button,   kFrmVESKA,  L"追加",                                  6720, 2400, 1755,  375, 5, 0},
    {kLblOption,  "lblOption",  ControlKind::Label,    kFrmVESKA,  L"",                                       180, 1620, 8475,  675, 11, 0},
    {kLblVESKA,   "lblVESKA",   ControlKind::Label,    kFrmVESKA,  L"",                                       180,  360, 8535,  675, 10, 0},
    {kCmdExit,    "CmdExit",    ControlKind::Button,   0,          L"閉じる",                                6840, 6120, 1755,  375, 6, 0},
    {kFrameFont,  "FrameFont",  ControlKind::Frame,    0,          L"固定ピッチフォントのサイズ変更対策",     120,  120, 8895, 2655, 0, 0},
    {kCmdOK_FONT, "CmdOK_FONT", ControlKind::Button,   kFrameFont, L"実行",                                  6720, 2160, 1755,  375, 2, 0},
    {kChkFont,    "chkFont",    ControlKind::CheckBox, kFrameFont, L"固定ピッチフォントのサイズをWindows2000と同等にします。",
                                                                                                            180, 1680, 8595,  375, 1, 0},
    {kLblMode,    "lblMode",    ControlKind::Label,    kFrameFont, L"",                                       480, 2100, 5715,  375, 8, 0},
    {kLblFont,    "lblFont",    ControlKind::Label,    kFrameFont, L"",                                       180,  360, 8535, 1335, 7, 0},
};
