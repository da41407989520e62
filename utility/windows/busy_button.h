// The button whose handler runs: disabled until the handler returns.
#pragma once

#include <windows.h>

// Disables a button for as long as its handler runs. A button that had the
// focus gets it back once it is enabled again (a disabled control loses it).
class DisabledWhileRunning {
public:
    explicit DisabledWhileRunning(HWND button);
    ~DisabledWhileRunning();
    DisabledWhileRunning(const DisabledWhileRunning&) = delete;
    DisabledWhileRunning& operator=(const DisabledWhileRunning&) = delete;

private:
    HWND button_;
    bool hadFocus_;
};
