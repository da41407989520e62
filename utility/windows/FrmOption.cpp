#include "FrmOption.h"

#include "FrmOption_ids.h"
#include "ansi_argument.h"
#include "app_text.h"
#include "basCommon.h"
#include "basXPCommon.h"
#include "busy_button.h"
#include "busy_window.h"
#include "dialog_keys.h"
#include "form_window.h"
#include "message_box.h"
#include "run_time_error.h"

#include <vector>

namespace {

const wchar_t kCaption[] = L"フォルダのアクセス権変更";
const int kClientWidth = 7770; // twips
const int kClientHeight = 4110;

// In tab order; positions in twips relative to the frame or window.
const ControlSpec kControls[] = {
    // id          kind                   parent     caption                        left  top   width height tab font
    {kFrameACL, ControlKind::Frame,    0,         L"フォルダのアクセス権変更",  120,  120, 7335, 3135, 0, 0},
    {kCmbDrive, ControlKind::ComboBox, kFrameACL, L"",                          240, 1200, 1815,  300, 1, kSmallFontSize},
    {kTxtDir,   ControlKind::TextBox,  kFrameACL, L"",                          240,  720, 5895,  315, 2, kSmallFontSize},
    {kDir1,     ControlKind::DirList,  kFrameACL, L"",                         2160, 1200, 3975, 1560, 3, kSmallFontSize},
    {kLblACL,   ControlKind::Label,    kFrameACL,
     L"Usersグループにフルアクセス権限を付与したいフォルダのパスを指定してください。",
                                                                                240,  360, 6795,  375, 4, kSmallFontSize},
    {kCmdOK,    ControlKind::Button,   0,         L"実行",                     1740, 3540, 1755,  375, 5, 0},
    {kCmdClose, ControlKind::Button,   0,         L"閉じる",                   3780, 3540, 1755,  375, 6, 0},
};

const wchar_t kNoNtfsDrive[] = L"NTFSフォーマットのドライブは存在しません。";
const wchar_t kWholeDrive[] = L"ドライブ全体のアクセス権を変更することはできません。";
const wchar_t kNtfs[] = L"NTFS";
const size_t kWholeDriveLength = 3;

// Every drive letter in use: 26 roots "X:\" and their terminators, and the
// terminator of the list.
const DWORD kDriveListLength = 26 * 4 + 1;

// One entry per local fixed NTFS drive, in the order Windows lists them:
// "C:[ SYSTEM ]". A drive whose properties cannot be read is skipped.
std::vector<std::wstring> NtfsDriveEntries()
{
    std::vector<std::wstring> entries;
    wchar_t roots[kDriveListLength] = {};
    const DWORD length = GetLogicalDriveStringsW(kDriveListLength, roots);
    // Failed, or a list that did not fit (the length it asks for): nothing
    // in the buffer to trust.
    if (length == 0 || length >= kDriveListLength)
        return entries;
    for (const wchar_t* root = roots; *root != L'\0'; root += lstrlenW(root) + 1) {
        if (GetDriveTypeW(root) != DRIVE_FIXED)
            continue;
        wchar_t volumeName[MAX_PATH + 1] = {};
        wchar_t fileSystem[MAX_PATH + 1] = {};
        if (!GetVolumeInformationW(root, volumeName, MAX_PATH + 1, nullptr, nullptr, nullptr,
                                   fileSystem, MAX_PATH + 1))
            continue;
        if (lstrcmpiW(fileSystem, kNtfs) != 0)
            continue;
        entries.push_back(std::wstring(root, 2) + L"[ " + volumeName + L" ]");
    }
    return entries;
}

bool IsAbsoluteDrivePath(const std::wstring& text)
{
    return text.size() >= 3 && text[1] == L':' && (text[2] == L'\\' || text[2] == L'/');
}

// The path as Windows reads it; empty when it has none of MAX_PATH
// characters or less.
std::wstring FullPathOf(const std::wstring& text)
{
    wchar_t full[MAX_PATH] = {};
    const DWORD length = GetFullPathNameW(text.c_str(), MAX_PATH, full, nullptr);
    return length > 0 && length < MAX_PATH ? full : L"";
}

} // namespace

bool NamesWholeDrive(const std::wstring& text)
{
    if (text.size() == kWholeDriveLength)
        return true;
    if (!IsAbsoluteDrivePath(text))
        return false;
    const std::wstring full = FullPathOf(text);
    return full.size() == kWholeDriveLength && full[1] == L':' && full[2] == L'\\';
}

bool NamesFolderExactly(const std::wstring& text)
{
    const std::wstring full = FullPathOf(text);
    return !full.empty() && full == text;
}

FrmOption::FrmOption(HINSTANCE instance) : instance_(instance), fonts_(scale_) {}

FrmOption::~FrmOption()
{
    if (window_ != nullptr)
        Unload();
}

void FrmOption::ShowModal(HWND owner)
{
    owner_ = owner;
    if (!CreateDialogWindow())
        return;
    SaveFocus(owner_);
    EnableWindow(owner_, FALSE);
    RunHandler(window_, [this] { Form_Load(); });
    ShowWindow(window_, SW_SHOWNORMAL);
    UpdateWindow(window_);
    RunModalLoop();
}

void FrmOption::Unload()
{
    // The owner is enabled before the dialog goes: Windows then hands the
    // activation back to it, and not to another program's window.
    EnableWindow(owner_, TRUE);
    DestroyWindow(window_);
}

bool FrmOption::TranslateKey(const MSG& message)
{
    HWND list = Control(kDir1);
    if (IsKeyDown(message, VK_RETURN) && message.hwnd == list) {
        // Enter on the folder list opens the highlighted folder, as a
        // double-click does; everywhere else it presses 実行.
        SendMessageW(window_, WM_COMMAND, MAKEWPARAM(kDir1, LBN_DBLCLK), reinterpret_cast<LPARAM>(list));
        return true;
    }
    return TranslateDialogKey(window_, message, DefaultButton());
}

HWND FrmOption::DefaultButton() const
{
    return Control(kCmdOK);
}

void FrmOption::RunModalLoop()
{
    MSG message;
    while (window_ != nullptr) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got <= 0) {
            // The program is ending: let the main loop see it too.
            PostQuitMessage(static_cast<int>(message.wParam));
            if (window_ != nullptr)
                Unload();
            return;
        }
        if (window_ != nullptr && (TranslateKey(message) || IsDialogMessageW(window_, &message)))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

bool FrmOption::CreateDialogWindow()
{
    RegisterFormClass(instance_, VK_UTL_OPTION_CLASS, FormWindowProc<FrmOption>);

    // Owned by the main window: no taskbar button of its own, always above
    // its owner, and brought forward when the disabled owner is clicked.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    window_ = CreateWindowExW(WS_EX_CONTROLPARENT | WS_EX_DLGMODALFRAME, VK_UTL_OPTION_CLASS,
                              kCaption, style, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, owner_, nullptr, instance_, this);
    return window_ != nullptr;
}

LRESULT FrmOption::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        OnCreate();
        return 0;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_DRAWITEM:
        if (wParam == kDir1)
            dir1_.Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_CLOSE:
        CmdClose_Click();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void FrmOption::OnCreate()
{
    CreateControls(window_, kControls, sizeof kControls / sizeof kControls[0], fonts_, scale_);
    SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.For(kFormFontSize)), FALSE);
    SizeClientArea(window_, kClientWidth, kClientHeight, scale_);
    dir1_.Attach(Control(kDir1), scale_,
                 [](void* form) { static_cast<FrmOption*>(form)->Dir1_Change(); }, this);
    ShowDefaultButton(window_, DefaultButton());
}

void FrmOption::OnCommand(int id, int code)
{
    switch (id) {
    case kCmbDrive:
        if (code == CBN_SELCHANGE)
            cmbDrive_Click();
        break;
    case kDir1:
        if (code == LBN_DBLCLK)
            dir1_.OpenSelected();
        break;
    case kCmdOK:
        if (code == BN_CLICKED)
            CmdOK_Click();
        break;
    case IDCANCEL: // Esc, as 閉じる
    case kCmdClose:
        if (code == BN_CLICKED)
            CmdClose_Click();
        break;
    }
}

void FrmOption::Form_Load()
{
    HWND drives = Control(kCmbDrive);
    int count = 0;
    for (const std::wstring& entry : NtfsDriveEntries()) {
        SendMessageW(drives, CB_INSERTSTRING, count, reinterpret_cast<LPARAM>(entry.c_str()));
        ++count;
    }
    if (count == 0) {
        SetWindowTextW(Control(kLblACL), kNoNtfsDrive);
        // Without a drive there is nothing to grant: the execute button goes too.
        for (int id : {kTxtDir, kCmbDrive, kDir1, kCmdOK})
            ShowWindow(Control(id), SW_HIDE);
        return;
    }
    FitDropDownToEntries(drives);
    SendMessageW(drives, CB_SETCURSEL, 0, 0);
    cmbDrive_Click();
    dir1_.SetPath(Text(kCmbDrive).substr(0, 2) + L"\\");
    SetWindowTextW(Control(kTxtDir), dir1_.Path().c_str());
}

void FrmOption::cmbDrive_Click()
{
    dir1_.SetPath(Text(kCmbDrive).substr(0, 2) + L"\\");
}

void FrmOption::Dir1_Change()
{
    SetWindowTextW(Control(kTxtDir), dir1_.Path().c_str());
}

void FrmOption::CmdOK_Click()
{
    DisabledWhileRunning busy(Control(kCmdOK));
    const std::wstring folder = Text(kTxtDir);
    if (NamesWholeDrive(folder)) {
        ShowMessage(window_, kWholeDrive, MB_OK | MB_ICONERROR);
        return;
    }
    // The grant and the history must name one folder: a name that Windows
    // reads as another (C:\data., C:\a\..\b), or that crosses to the
    // library's ANSI as another, is refused.
    if (!NamesFolderExactly(folder) || !HasExactAnsiForm(folder)) {
        ShowMessage(window_, kSettingFailed, MB_OK);
        return;
    }
    Long32 status;
    RunWhileBusy(window_, [&] {
        std::wstring path = folder;
        status = GrantUsersFullControl(path);
    });
    if (status != 0) {
        ShowMessage(window_, kSettingFailed, MB_OK);
        return;
    }
    WriteAddedFolderRecord(folder);
    ShowMessage(window_, kSettingDone, MB_OK);
}

void FrmOption::CmdClose_Click()
{
    Unload();
}

HWND FrmOption::Control(int id) const
{
    return FindControl(window_, id);
}

std::wstring FrmOption::Text(int id) const
{
    HWND control = Control(id);
    const int length = GetWindowTextLengthW(control);
    std::wstring text(length + 1, L'\0');
    GetWindowTextW(control, &text[0], length + 1);
    text.resize(lstrlenW(text.c_str()));
    return text;
}
