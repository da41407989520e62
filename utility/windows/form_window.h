// What the utility's two windows share: their window class and the
// procedure that hands every message to the form object (and keeps the
// focus across a change of the active window).
#pragma once

#include "busy_cursor.h"
#include "busy_window.h"
#include "dialog_keys.h"
#include "focus_memory.h"
#include "run_time_error.h"

#include <windows.h>

// Registers a form's window class: the application icon, the arrow pointer
// and the 3-D face colour behind the controls.
void RegisterFormClass(HINSTANCE instance, const wchar_t* className, WNDPROC procedure);

// The window procedure of the class of `Form`. The Form object passed to
// CreateWindowExW receives its window in `window_` and every message in
// HandleMessage; an error that a handler raises is reported and ends the
// program. While a form is busy, the pointer stays the hourglass and no form
// hears what BusyWindow drops.
// `Form::DefaultButton()` names the button Enter presses when the focus is
// on no button (null for none).
template <typename Form>
LRESULT CALLBACK FormWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* created = static_cast<Form*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        created->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    auto* form = reinterpret_cast<Form*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (form == nullptr)
        return DefWindowProcW(window, message, wParam, lParam);
    LRESULT dropped = 0;
    if (BusyWindow::Drops(message, wParam, dropped))
        return dropped;
    switch (message) {
    case WM_SETCURSOR:
        if (!BusyCursor::IsBusy())
            break;
        SetCursor(BusyCursor::Hourglass());
        return TRUE;
    case WM_ACTIVATE:
        KeepFocusAcrossActivation(window, wParam);
        return 0;
    case WM_COMMAND:
        FollowButtonFocus(window, reinterpret_cast<HWND>(lParam), HIWORD(wParam),
                          form->DefaultButton());
        break;
    case WM_DESTROY:
        // The object may outlive its window: it hears nothing more from it.
        ForgetFocus(window);
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        form->window_ = nullptr;
        break;
    }
    LRESULT result = 0;
    RunHandler(window, [&] { result = form->HandleMessage(window, message, wParam, lParam); });
    return result;
}
