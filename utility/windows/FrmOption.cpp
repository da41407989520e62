#include "FrmOption.h"

#include "FrmOption_controls.h"
#include "app_text.h"
#include "busy_button.h"
#include "busy_window.h"
#include "dialog_keys.h"
#include "message_box.h"
#include "run_time_error_box.h"
#include "utility_actions.h"

#include <vector>

namespace {

// Owned by the main window: no taskbar button of its own, always above its
// owner, and brought forward when the disabled owner is clicked.
const FormSpec kForm = {
    VK_UTL_OPTION_CLASS,
    L"フォルダのアクセス権変更",
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN,
    WS_EX_CONTROLPARENT | WS_EX_DLGMODALFRAME,
    7770, // twips
    4110,
    kFrmOptionControls,
    sizeof kFrmOptionControls / sizeof kFrmOptionControls[0],
    kCmdOK,
};

const wchar_t kNoNtfsDrive[] = L"NTFSフォーマットのドライブは存在しません。";
const wchar_t kWholeDrive[] = L"ドライブ全体のアクセス権を変更することはできません。";
const wchar_t kNtfs[] = L"NTFS";

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

} // namespace

const CommandSpec<FrmOption> FrmOption::kCommands[] = {
    {kCmbDrive, CBN_SELCHANGE, &FrmOption::cmbDrive_Click},
    {kDir1, LBN_DBLCLK, &FrmOption::Dir1_DblClick},
    {kCmdOK, BN_CLICKED, &FrmOption::CmdOK_Click},
    {kCmdClose, BN_CLICKED, &FrmOption::Close},
    {IDCANCEL, BN_CLICKED, &FrmOption::Close}, // Esc, as 閉じる
};

FrmOption::FrmOption(HINSTANCE instance) : FormWindow(instance, kForm) {}

void FrmOption::ShowModal(HWND owner)
{
    if (!Create(owner))
        return;
    RunHandler(window_, [this] { Form_Load(); });
    RunModal();
}

void FrmOption::OnCreate()
{
    dir1_.Attach(Control(kDir1), scale_,
                 [](void* form) { static_cast<FrmOption*>(form)->Dir1_Change(); }, this);
    ShowDefaultButton(window_, DefaultButton());
}

void FrmOption::OnCommand(int id, int notification)
{
    RunCommand(*this, kCommands, id, notification);
}

bool FrmOption::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (message != WM_DRAWITEM)
        return false;
    if (wParam == kDir1)
        dir1_.Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    result = TRUE;
    return true;
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
    return FormWindow::TranslateKey(message);
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
        SetText(kLblACL, kNoNtfsDrive);
        // Without a drive there is nothing to grant: the execute button goes too.
        for (int id : {kTxtDir, kCmbDrive, kDir1, kCmdOK})
            ShowWindow(Control(id), SW_HIDE);
        return;
    }
    FitDropDownToEntries(drives);
    SendMessageW(drives, CB_SETCURSEL, 0, 0);
    cmbDrive_Click();
    dir1_.SetPath(Text(kCmbDrive).substr(0, 2) + L"\\");
    SetText(kTxtDir, dir1_.Path().c_str());
}

void FrmOption::cmbDrive_Click()
{
    dir1_.SetPath(Text(kCmbDrive).substr(0, 2) + L"\\");
}

void FrmOption::Dir1_DblClick()
{
    dir1_.OpenSelected();
}

void FrmOption::Dir1_Change()
{
    SetText(kTxtDir, dir1_.Path().c_str());
}

void FrmOption::CmdOK_Click()
{
    DisabledWhileRunning busy(Control(kCmdOK));
    switch (GrantFolder(Text(kTxtDir), [this](auto& grant) { RunWhileBusy(window_, grant); })) {
    case kFolderGranted:
    case kFolderNotRecorded:
        ShowMessage(window_, kSettingDone, MB_OK);
        break;
    case kFolderIsDrive:
        ShowMessage(window_, kWholeDrive, MB_OK | MB_ICONERROR);
        break;
    case kFolderNotGranted:
        ShowMessage(window_, kSettingFailed, MB_OK);
        break;
    }
}
