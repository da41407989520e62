#include "FrmMain.h"

#include "FrmMain_ids.h"
#include "FrmOption.h"
#include "app_text.h"
#include "basCommon.h"
#include "basRegistry.h"
#include "basXPCommon.h"
#include "busy_button.h"
#include "busy_window.h"
#include "dialog_keys.h"
#include "form_window.h"
#include "history_view.h"
#include "message_box.h"
#include "previous_instance.h"
#include "run_time_error.h"

#include <string>

namespace {

const wchar_t kCaption[] = L"VESKA Windows ユーティリティ Ver.1.10";
const int kClientWidth = 9150; // twips
const int kClientHeight = 6660;

const int kExitClosed = 0;
const int kExitRefused = 1;

// In creation order; positions in twips relative to the frame or window.
const ControlSpec kControls[] = {
    // id            kind                  parent      caption                                   left  top   width height tab
    {kFrmVESKA,   ControlKind::Frame,    0,          L"VESKA財務・税務アプリケーション",        120, 3000, 8895, 2895, 9, 0},
    {kCmdView,    ControlKind::Button,   kFrmVESKA,  L"履歴確認",                              4500, 2400, 1755,  375, 4, 0},
    {kCmdVESKA,   ControlKind::Button,   kFrmVESKA,  L"実行",                                  6720, 1140, 1755,  375, 3, 0},
    {kCmdAdd,     ControlKind::Button,   kFrmVESKA,  L"追加",                                  6720, 2400, 1755,  375, 5, 0},
    {kLblOption,  ControlKind::Label,    kFrmVESKA,  L"",                                       180, 1620, 8475,  675, 11, 0},
    {kLblVESKA,   ControlKind::Label,    kFrmVESKA,  L"",                                       180,  360, 8535,  675, 10, 0},
    {kCmdExit,    ControlKind::Button,   0,          L"閉じる",                                6840, 6120, 1755,  375, 6, 0},
    {kFrameFont,  ControlKind::Frame,    0,          L"固定ピッチフォントのサイズ変更対策",     120,  120, 8895, 2655, 0, 0},
    {kCmdOK_FONT, ControlKind::Button,   kFrameFont, L"実行",                                  6720, 2160, 1755,  375, 2, 0},
    {kChkFont,    ControlKind::CheckBox, kFrameFont, L"固定ピッチフォントのサイズをWindows2000と同等にします。",
                                                                                               180, 1680, 8595,  375, 1, 0},
    {kLblMode,    ControlKind::Label,    kFrameFont, L"",                                       480, 2100, 5715,  375, 8, 0},
    {kLblFont,    ControlKind::Label,    kFrameFont, L"",                                       180,  360, 8535, 1335, 7, 0},
};

const wchar_t kFontFixExplanation[] =
    L"WindowsXP/WindowsVistaでは、Windows2000などの既存のオペレーティングシステム（OS)と比較して\r\n"
    L"フォントのサイズに違いがあります。\r\n"
    L"この影響で、一部アプリケーションではフォントが欠けて表示される現象が"
    L"発生します。\r\n"
    L"このツールにより固定ピッチフォントを既存OSと同等にすることで問題を回避します。\r\n"
    L"\r\n"
    L"このツールによりこのＰＣで動作する全てのアプリケーションの固定ピッチフォントサイズが変更されます。";

const wchar_t kAlreadyRunning[] = L"は、既に起動されています。";
const wchar_t kNeedsXp[] = L"このプログラムはWindows XP以降のオペレーティングシステムのみ動作可能です。";
const wchar_t kNeedsAdministrator[] = L"このプログラムは管理者権限をもつユーザーで実行してください。";
const wchar_t kOtherUserRuns[] = L"このプログラムは別のユーザーがこのPCで実行しています。";
const wchar_t kCompatibleMode[] = L"現在、Windows2000のOS互換状態で稼動しています。";
const wchar_t kFoldersFound[] =
    L"VESKA財務・税務アプリケーションが使用するフォルダのアクセスユーザーに"
    L"「Usersグループ」を追加し、\r\n"
    L"「フルコントロール権限」を設定します。";
const wchar_t kNoFolders[] =
    L"フォルダのアクセス権変更が必要なVESKA財務・税務アプリケーションは使用"
    L"されていません。";
const wchar_t kOptionExplanation[] =
    L"フォルダを指定してアクセス権を変更する場合、以下の「追加」ボタンにより設定を"
    L"お願いします。\r\n"
    L"指定されたフォルダに対し「Usersグループ」を追加し、「フルコントロール権限」を設定します。";
const wchar_t kRestartQuestion[] =
    L"設定が正しく処理されました。再起動後、設定が有効になります。\r\n今すぐ再起動しますか？";
const wchar_t kNoHistory[] = L"アクセス権を変更した履歴はありません。";

const wchar_t kFontKey[] =
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\GRE_Initialize";
const wchar_t kFontValue[] = L"Jpn98FixPitch";
const wchar_t kVirtualStoreIni[] = L"lw_dbe32.ini";
const unsigned char kAllDrives = '1';
const size_t kNetDriveMessageLength = 1024;

// The check box's state for a stored number: 0, 1 and 2 are its own three
// states; any other number means the switch is on.
int CheckStateFor(Long32 number)
{
    switch (number) {
    case BST_UNCHECKED:
    case BST_CHECKED:
    case BST_INDETERMINATE:
        return number;
    default:
        return BST_CHECKED;
    }
}

BOOL CALLBACK ForwardSysColorChange(HWND control, LPARAM)
{
    SendMessageW(control, WM_SYSCOLORCHANGE, 0, 0);
    return TRUE;
}

} // namespace

FrmMain::FrmMain(HINSTANCE instance)
    : instance_(instance), fonts_(scale_)
{
}

FrmMain::~FrmMain()
{
    if (window_ != nullptr)
        DestroyWindow(window_);
}

int FrmMain::Run()
{
    if (!Form_Initialize())
        return kExitRefused;
    if (!CreateMainWindow())
        return kExitRefused;
    bool loaded = false;
    RunHandler(nullptr, [&] { loaded = Form_Load(); });
    if (!loaded)
        return kExitRefused;

    ShowWindow(window_, SW_SHOWNORMAL);
    UpdateWindow(window_);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (TranslateDialogKey(window_, message, DefaultButton()) ||
            IsDialogMessageW(window_, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return kExitClosed;
}

bool FrmMain::Form_Initialize()
{
    if (!AnotherCopyRunsInThisLogon())
        return true;
    ShowMessage(nullptr, std::wstring(kAppTitle) + kAlreadyRunning,
                MB_OK | MB_ICONEXCLAMATION | MB_SETFOREGROUND);
    return false;
}

bool FrmMain::Form_Load()
{
    SetCaption(kLblFont, kFontFixExplanation);

    if (IsXpOrLater() != 1)
        return Refuse(kNeedsXp, MB_OK | MB_ICONERROR);

    if (IsVistaOrLater() == 1) {
        std::wstring iniFile = kVirtualStoreIni;
        RunDelAppDataFile(iniFile);
        unsigned char selector = kAllDrives;
        std::wstring message(kNetDriveMessageLength, L'\0');
        if (RunChkNetDrv(selector, message) == 1)
            ShowMessage(nullptr, TrimAtNul(message), MB_OK | MB_ICONINFORMATION);
    }

    if (RegKeyExists(kFontKey) == kRegNotDone)
        return Refuse(kNeedsAdministrator, MB_OK | MB_ICONERROR);

    Long32 fontSwitch = 0;
    if (RegGetDword(kFontKey, kFontValue, fontSwitch) == kRegDone) {
        SendMessageW(Control(kChkFont), BM_SETCHECK, CheckStateFor(fontSwitch), 0);
        SetCaption(kLblMode, kCompatibleMode);
    } else {
        SendMessageW(Control(kChkFont), BM_SETCHECK, BST_UNCHECKED, 0);
        SetCaption(kLblMode, L"");
    }

    if (IsInstanceRunning() == 1)
        return Refuse(kOtherUserRuns, MB_OK | MB_ICONERROR);

    const bool foldersFound = RunCheckVeskaFolder() != 0;
    SetCaption(kLblVESKA, foldersFound ? kFoldersFound : kNoFolders);
    ShowWindow(Control(kCmdVESKA), foldersFound ? SW_SHOW : SW_HIDE);

    SetCaption(kLblOption, kOptionExplanation);
    return true;
}

bool FrmMain::Refuse(const wchar_t* text, UINT style)
{
    ShowMessage(nullptr, text, style);
    DestroyWindow(window_);
    return false;
}

bool FrmMain::CreateMainWindow()
{
    RegisterFormClass(instance_, VK_UTL_MAIN_CLASS, FormWindowProc<FrmMain>);

    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    window_ = CreateWindowExW(WS_EX_CONTROLPARENT, VK_UTL_MAIN_CLASS, kCaption, style,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                              nullptr, instance_, this);
    return window_ != nullptr;
}

LRESULT FrmMain::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        OnCreate();
        return 0;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_CTLCOLORSTATIC:
        return OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_SYSCOLORCHANGE:
        OnSysColorChange();
        return 0;
    case WM_CLOSE:
        CmdExit_Click();
        return 0;
    case WM_DESTROY:
        PostQuitMessage(kExitClosed);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void FrmMain::OnCreate()
{
    CreateControls(window_, kControls, sizeof kControls / sizeof kControls[0], fonts_, scale_);
    SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.For(kFormFontSize)), FALSE);
    SizeClientArea(window_, kClientWidth, kClientHeight, scale_);
}

void FrmMain::OnCommand(int id, int code)
{
    if (code != BN_CLICKED)
        return;
    switch (id) {
    case kCmdOK_FONT: CmdOK_FONT_Click(); break;
    case kCmdVESKA: CmdVESKA_Click(); break;
    case kCmdView: CmdView_Click(); break;
    case kCmdAdd: cmdAdd_Click(); break;
    case kCmdExit: CmdExit_Click(); break;
    // Esc closes the main window as 閉じる does: the window is a dialog of
    // buttons, and Esc is a dialog's way out.
    case IDCANCEL: CmdExit_Click(); break;
    case kChkFont: chkFont_Click(); break;
    }
}

LRESULT FrmMain::OnCtlColorStatic(HDC dc, HWND control)
{
    // The DC's own text colour is black whatever the scheme: on the dark
    // face of a high-contrast scheme the labels would vanish.
    SetTextColor(dc, GetSysColor(GetDlgCtrlID(control) == kLblMode ? COLOR_HIGHLIGHT : COLOR_BTNTEXT));
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    // A system colour brush follows a change of the scheme by itself.
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

void FrmMain::OnSysColorChange()
{
    // Windows tells only the top-level windows; the controls hear it from
    // them, and then everything is drawn again in the new colours.
    EnumChildWindows(window_, ForwardSysColorChange, 0);
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void FrmMain::chkFont_Click()
{
    HWND box = Control(kChkFont);
    const LRESULT state = SendMessageW(box, BM_GETCHECK, 0, 0);
    SendMessageW(box, BM_SETCHECK, state == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED, 0);
}

void FrmMain::CmdOK_FONT_Click()
{
    DisabledWhileRunning busy(Control(kCmdOK_FONT));
    if (SendMessageW(Control(kChkFont), BM_GETCHECK, 0, 0) == BST_CHECKED) {
        if (RegSetDword(kFontKey, kFontValue, 1) == kRegDone)
            AskForRestart();
        else
            ShowMessage(window_, kSettingFailed, MB_OK);
    } else {
        RegDeleteEntry(kFontKey, kFontValue);
        AskForRestart();
    }
}

void FrmMain::AskForRestart()
{
    if (ShowMessage(window_, kRestartQuestion, MB_YESNO | MB_ICONINFORMATION) == IDYES)
        RestartWindows(kReboot);
}

void FrmMain::CmdVESKA_Click()
{
    DisabledWhileRunning busy(Control(kCmdVESKA));
    RunWhileBusy(window_, [] { RunSetVeskaFolder(); });
    ShowMessage(window_, kSettingDone, MB_OK);
}

void FrmMain::CmdView_Click()
{
    std::string log;
    if (!ReadWholeFile(GetLogFilePath(), log)) {
        ShowMessage(window_, kNoHistory, MB_OK | MB_ICONINFORMATION);
        return;
    }
    ShowMessage(window_, BuildHistoryText(log), MB_OK | MB_ICONINFORMATION);
}

void FrmMain::cmdAdd_Click()
{
    FrmOption dialog(instance_);
    dialog.ShowModal(window_);
}

void FrmMain::CmdExit_Click()
{
    DestroyWindow(window_);
}

HWND FrmMain::DefaultButton() const
{
    return nullptr; // Enter presses only the focused button
}

HWND FrmMain::Control(int id) const
{
    return FindControl(window_, id);
}

void FrmMain::SetCaption(int id, const wchar_t* text)
{
    SetWindowTextW(Control(id), text);
}
