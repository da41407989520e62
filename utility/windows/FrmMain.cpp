#include "FrmMain.h"

#include "FrmMain_controls.h"
#include "FrmOption.h"
#include "app_text.h"
#include "basXPCommon.h"
#include "busy_button.h"
#include "busy_window.h"
#include "message_box.h"
#include "previous_instance.h"
#include "run_time_error_box.h"
#include "utility_actions.h"

#include <string>

namespace {

const int kExitClosed = 0;
const int kExitRefused = 1;

const FormSpec kForm = {
    VK_UTL_MAIN_CLASS,
    L"VESKA Windows ユーティリティ Ver.1.10",
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN,
    WS_EX_CONTROLPARENT,
    9150, // twips
    6660,
    kFrmMainControls,
    sizeof kFrmMainControls / sizeof kFrmMainControls[0],
    0, // Enter presses only the focused button
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

const CommandSpec<FrmMain> FrmMain::kCommands[] = {
    {kCmdOK_FONT, BN_CLICKED, &FrmMain::CmdOK_FONT_Click},
    {kCmdVESKA, BN_CLICKED, &FrmMain::CmdVESKA_Click},
    {kCmdView, BN_CLICKED, &FrmMain::CmdView_Click},
    {kCmdAdd, BN_CLICKED, &FrmMain::cmdAdd_Click},
    {kCmdExit, BN_CLICKED, &FrmMain::Close},
    // Esc closes the main window as 閉じる does: the window is a dialog of
    // buttons, and Esc is a dialog's way out.
    {IDCANCEL, BN_CLICKED, &FrmMain::Close},
    {kChkFont, BN_CLICKED, &FrmMain::chkFont_Click},
};

FrmMain::FrmMain(HINSTANCE instance) : FormWindow(instance, kForm) {}

int FrmMain::Run()
{
    if (!Form_Initialize())
        return kExitRefused;
    if (!Create(nullptr))
        return kExitRefused;
    bool loaded = false;
    RunHandler(nullptr, [&] { loaded = Form_Load(); });
    if (!loaded)
        return kExitRefused;
    RunModal();
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
    SetText(kLblFont, kFontFixExplanation);

    if (IsXpOrLater() != 1)
        return Refuse(kNeedsXp, MB_OK | MB_ICONERROR);

    std::wstring reconnected;
    if (IsVistaOrLater() == 1 && RepairForElevation(reconnected))
        ShowMessage(nullptr, reconnected, MB_OK | MB_ICONINFORMATION);

    if (!MayChangeFontSwitch())
        return Refuse(kNeedsAdministrator, MB_OK | MB_ICONERROR);

    Long32 fontSwitch = 0;
    const bool switchSet = ReadFontSwitch(fontSwitch);
    SendMessageW(Control(kChkFont), BM_SETCHECK, switchSet ? CheckStateFor(fontSwitch) : BST_UNCHECKED, 0);
    SetText(kLblMode, switchSet ? kCompatibleMode : L"");

    if (IsInstanceRunning() == 1)
        return Refuse(kOtherUserRuns, MB_OK | MB_ICONERROR);

    const bool foldersFound = ApplicationFoldersFound();
    SetText(kLblVESKA, foldersFound ? kFoldersFound : kNoFolders);
    ShowWindow(Control(kCmdVESKA), foldersFound ? SW_SHOW : SW_HIDE);

    SetText(kLblOption, kOptionExplanation);
    return true;
}

bool FrmMain::Refuse(const wchar_t* text, UINT style)
{
    ShowMessage(nullptr, text, style);
    Close();
    return false;
}

void FrmMain::OnCommand(int id, int notification)
{
    RunCommand(*this, kCommands, id, notification);
}

bool FrmMain::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_CTLCOLORSTATIC:
        result = OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        return true;
    case WM_SYSCOLORCHANGE:
        OnSysColorChange();
        return true;
    }
    return false;
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
    if (SetFontSwitch(SendMessageW(Control(kChkFont), BM_GETCHECK, 0, 0) == BST_CHECKED))
        AskForRestart();
    else
        ShowMessage(window_, kSettingFailed, MB_OK);
}

void FrmMain::AskForRestart()
{
    if (ShowMessage(window_, kRestartQuestion, MB_YESNO | MB_ICONINFORMATION) == IDYES)
        RestartNow();
}

void FrmMain::CmdVESKA_Click()
{
    DisabledWhileRunning busy(Control(kCmdVESKA));
    std::wstring unread;
    RunWhileBusy(window_, [&unread] { unread = GrantApplicationFolders(); });
    ShowMessage(window_, unread.empty() ? kSettingDone : kSettingDone + (L"\r\n\r\n" + unread),
                MB_OK);
}

void FrmMain::CmdView_Click()
{
    std::wstring history;
    ShowMessage(window_, ReadHistory(history) ? history : kNoHistory, MB_OK | MB_ICONINFORMATION);
}

void FrmMain::cmdAdd_Click()
{
    FrmOption dialog(instance_);
    dialog.ShowModal(window_);
}
