#include "focus_memory.h"

namespace {

const wchar_t kFocusProperty[] = L"VK_UTL.Focus";

bool CanTakeFocus(HWND control)
{
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    return (style & WS_TABSTOP) && (style & WS_VISIBLE) && !(style & WS_DISABLED);
}

BOOL CALLBACK StopAtTabStop(HWND child, LPARAM found)
{
    if (!CanTakeFocus(child))
        return TRUE;
    *reinterpret_cast<HWND*>(found) = child;
    return FALSE;
}

// The layout stacks the controls in keyboard order, frames before what they
// hold, and the enumeration walks that stack from the top, depth first.
HWND FirstTabStop(HWND window)
{
    HWND found = nullptr;
    EnumChildWindows(window, StopAtTabStop, reinterpret_cast<LPARAM>(&found));
    return found;
}

} // namespace

HWND FocusedControl(HWND window)
{
    HWND focus = GetFocus();
    return focus != nullptr && IsChild(window, focus) ? focus : nullptr;
}

void SaveFocus(HWND window)
{
    // Without a focused control (a disabled button has lost it) the last
    // claim stands.
    if (HWND focus = FocusedControl(window))
        RememberFocus(window, focus);
}

void RememberFocus(HWND window, HWND control)
{
    SetPropW(window, kFocusProperty, control);
}

void GiveFocusBack(HWND control)
{
    HWND window = GetAncestor(control, GA_ROOT);
    if (GetActiveWindow() == window)
        SetFocus(control);
    else
        RememberFocus(window, control);
}

void ForgetFocus(HWND window)
{
    RemovePropW(window, kFocusProperty);
}

void KeepFocusAcrossActivation(HWND window, WPARAM activation)
{
    if (LOWORD(activation) == WA_INACTIVE) {
        SaveFocus(window);
        return;
    }
    if (HIWORD(activation) != 0)
        return; // minimised: nothing to focus
    HWND saved = static_cast<HWND>(GetPropW(window, kFocusProperty));
    if (saved == nullptr || !IsChild(window, saved) || !CanTakeFocus(saved))
        saved = FirstTabStop(window);
    SetFocus(saved != nullptr ? saved : window);
    // Windows hides focus rectangles until a key is pressed; a dialog that
    // opens with the focus somewhere shows where.
    SendMessageW(window, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
}
