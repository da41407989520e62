// Errors that no handler catches: reported in one message box, after which
// the program ends.
#pragma once

#include "run_time_error.h"

#include <windows.h>

const int kExitRunTimeError = 2;

// Runs `handler`; an error it raises is reported and ends the program.
// No C++ exception ever leaves this function, so none crosses a window
// procedure.
template <typename Handler>
void RunHandler(HWND owner, Handler&& handler);

// Shows the error that `RunHandler` caught and ends the program.
[[noreturn]] void EndWithCurrentError(HWND owner);

template <typename Handler>
void RunHandler(HWND owner, Handler&& handler)
{
    try {
        handler();
    } catch (...) {
        EndWithCurrentError(owner);
    }
}
