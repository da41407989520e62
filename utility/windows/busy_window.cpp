#include "busy_window.h"

#include "basCommon.h"
#include "focus_memory.h"

namespace {

const wchar_t kShutdownReason[] = L"フォルダのアクセス権を設定しています。";

// Marks the controls that the busy state disabled, so that it enables
// those and no other (a button that its handler keeps disabled stays so).
const wchar_t kDisabledProperty[] = L"VK_UTL.DisabledWhileBusy";

BOOL CALLBACK DisableInputControl(HWND control, LPARAM)
{
    if ((GetWindowLongW(control, GWL_STYLE) & WS_TABSTOP) && IsWindowEnabled(control)) {
        SetPropW(control, kDisabledProperty, control);
        EnableWindow(control, FALSE);
    }
    return TRUE;
}

BOOL CALLBACK EnableDisabledControl(HWND control, LPARAM)
{
    if (RemovePropW(control, kDisabledProperty) != nullptr)
        EnableWindow(control, TRUE);
    return TRUE;
}

HCURSOR Hourglass()
{
    return LoadCursorW(nullptr, IDC_WAIT);
}

void EnableCloseBox(HWND window, bool enable)
{
    EnableMenuItem(GetSystemMenu(window, FALSE), SC_CLOSE,
                   MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED));
}

} // namespace

int BusyWindow::depth_ = 0;

BusyWindow::BusyWindow(HWND window)
    : window_(window), mainWindow_(GetAncestor(window, GA_ROOTOWNER)),
      focus_(FocusedControl(window))
{
    EnumChildWindows(window_, DisableInputControl, 0);
    EnableCloseBox(window_, false);
    SetShutdownBlockReason(mainWindow_, kShutdownReason);
    ++depth_;
    previousPointer_ = SetCursor(Hourglass());
}

BusyWindow::~BusyWindow()
{
    SetCursor(previousPointer_ != nullptr ? previousPointer_ : LoadCursorW(nullptr, IDC_ARROW));
    --depth_;
    ClearShutdownBlockReason(mainWindow_);
    EnableCloseBox(window_, true);
    EnumChildWindows(window_, EnableDisabledControl, 0);
    if (focus_ != nullptr && IsWindowEnabled(focus_))
        GiveFocusBack(focus_);
}

HCURSOR BusyWindow::Pointer()
{
    return depth_ > 0 ? Hourglass() : nullptr;
}

bool BusyWindow::Drops(UINT message, WPARAM wParam, LRESULT& answer)
{
    if (depth_ == 0)
        return false;
    answer = 0;
    switch (message) {
    case WM_COMMAND:
        return HIWORD(wParam) == BN_CLICKED; // buttons, Enter, Esc
    case WM_SYSCOMMAND:
        return (wParam & 0xFFF0) == SC_CLOSE; // the close box, Alt+F4
    case WM_CLOSE:
    case WM_QUERYENDSESSION: // FALSE: the session waits for the grant
        return true;
    }
    return false;
}
