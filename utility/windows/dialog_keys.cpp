#include "dialog_keys.h"

namespace {

bool IsPushButton(HWND control)
{
    wchar_t className[16] = {};
    GetClassNameW(control, className, sizeof className / sizeof className[0]);
    const LONG type = GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK;
    return lstrcmpiW(className, L"Button") == 0 && (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON);
}

bool CanBePressed(HWND button)
{
    return button != nullptr && IsWindowVisible(button) && IsWindowEnabled(button);
}

BOOL CALLBACK MarkDefault(HWND child, LPARAM defaultButton)
{
    if (IsPushButton(child))
        SendMessageW(child, BM_SETSTYLE,
                     child == reinterpret_cast<HWND>(defaultButton) ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON,
                     TRUE);
    return TRUE;
}

} // namespace

void ShowDefaultButton(HWND window, HWND defaultButton)
{
    EnumChildWindows(window, MarkDefault, reinterpret_cast<LPARAM>(defaultButton));
}

void FollowButtonFocus(HWND window, HWND control, int notification, HWND defaultButton)
{
    if (control == nullptr || (notification != BN_SETFOCUS && notification != BN_KILLFOCUS) ||
        !IsPushButton(control))
        return;
    ShowDefaultButton(window, notification == BN_SETFOCUS ? control : defaultButton);
}

bool IsKeyDown(const MSG& message, WPARAM key)
{
    return message.message == WM_KEYDOWN && message.wParam == key;
}

void PressButton(HWND button)
{
    if (CanBePressed(button))
        SendMessageW(GetAncestor(button, GA_ROOT), WM_COMMAND,
                     MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

bool TranslateDialogKey(HWND window, const MSG& message, HWND defaultButton)
{
    const bool enter = IsKeyDown(message, VK_RETURN);
    if (!enter && !IsKeyDown(message, VK_ESCAPE))
        return false;
    if (message.hwnd != window && !IsChild(window, message.hwnd))
        return false;
    const LRESULT wants = SendMessageW(message.hwnd, WM_GETDLGCODE, message.wParam,
                                       reinterpret_cast<LPARAM>(&message));
    if (wants & (DLGC_WANTMESSAGE | DLGC_WANTALLKEYS))
        return false;
    if (!enter)
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    else if (IsPushButton(message.hwnd))
        PressButton(message.hwnd);
    else
        PressButton(defaultButton);
    return true;
}
