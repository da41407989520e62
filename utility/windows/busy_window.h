// A window while a long action of its own runs on a worker thread: it
// repaints and answers, but takes no input that would start anything else
// or end the program.
#pragma once

#include "worker_call.h"

#include <windows.h>

// For as long as it lives: every control of the window that takes input is
// disabled, its close box greyed, a sign-out or restart waits (with the
// reason shown on Vista and later), the pointer over every form of the
// program is the hourglass, and every form drops a click, a close and the
// end of the session, whichever message loop dispatches them. Everything is
// given back in the reverse order, the focus last.
class BusyWindow {
public:
    explicit BusyWindow(HWND window);
    ~BusyWindow();
    BusyWindow(const BusyWindow&) = delete;
    BusyWindow& operator=(const BusyWindow&) = delete;

    // Whether a form's window procedure drops `message` now; `answer` is
    // then its result.
    static bool Drops(UINT message, WPARAM wParam, LRESULT& answer);
    // The pointer a form's WM_SETCURSOR sets: the hourglass while any
    // window is busy, else null (the class's own).
    static HCURSOR Pointer();

private:
    static int depth_;
    HWND window_;
    HWND mainWindow_;
    HWND focus_;
    HCURSOR previousPointer_;
};

// Runs `work` on a worker thread while `window` is busy.
template <typename Work>
void RunWhileBusy(HWND window, Work&& work)
{
    BusyWindow busy(window);
    CallOnWorker(work);
}
