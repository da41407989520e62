// What the utility's two windows share: their window class, the procedure
// that hands every message to the form object, and the button that stays
// disabled while its handler runs.
#pragma once

#include "busy_cursor.h"
#include "run_time_error.h"

#include <windows.h>

// Registers a form's window class: the application icon, the arrow pointer
// and the 3-D face colour behind the controls.
void RegisterFormClass(HINSTANCE instance, const wchar_t* className, WNDPROC procedure);

// The window procedure of the class of `Form`. The Form object passed to
// CreateWindowExW receives its window in `window_` and every message in
// HandleMessage; an error that a handler raises is reported and ends the
// program. While a form is busy, the pointer stays the hourglass.
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
    if (message == WM_SETCURSOR && BusyCursor::IsBusy()) {
        SetCursor(BusyCursor::Hourglass());
        return TRUE;
    }
    if (message == WM_DESTROY) {
        // The object may outlive its window: it hears nothing more from it.
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        form->window_ = nullptr;
    }
    LRESULT result = 0;
    RunHandler(window, [&] { result = form->HandleMessage(window, message, wParam, lParam); });
    return result;
}

// Disables a button for as long as its handler runs.
class DisabledWhileRunning {
public:
    explicit DisabledWhileRunning(HWND button) : button_(button) { EnableWindow(button_, FALSE); }
    ~DisabledWhileRunning() { EnableWindow(button_, TRUE); }
    DisabledWhileRunning(const DisabledWhileRunning&) = delete;
    DisabledWhileRunning& operator=(const DisabledWhileRunning&) = delete;

private:
    HWND button_;
};
