#pragma once

#include <windows.h>

// Shows the hourglass over a window for as long as it lives. The window's
// WM_SETCURSOR asks IsBusy, so the pointer stays the hourglass while the
// work runs.
class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

    static bool IsBusy() { return depth_ > 0; }
    static HCURSOR Hourglass() { return LoadCursorW(nullptr, IDC_WAIT); }

private:
    static int depth_;
    HCURSOR previous_;
};
