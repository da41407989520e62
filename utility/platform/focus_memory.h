// The keyboard focus of a window, kept as dialog boxes keep it. Below the
// windows and the message box alike: a message box saves its owner's focus
// before it disables the owner.
#pragma once

#include <windows.h>

// Saved when the window is deactivated (another program, a message box)
// and given back when it is activated again; the first control of the
// keyboard order that can take it when none was saved, or the saved one
// can no longer.
void KeepFocusAcrossActivation(HWND window, WPARAM activation);
// Notes the focus of `window` when one of its controls has it. Called before
// anything disables the window (a modal dialog or message box it owns):
// disabling takes the focus away before the window is deactivated.
void SaveFocus(HWND window);
void RememberFocus(HWND window, HWND control);
// Gives the focus back to `control` once it can take it again: now when its
// window is the active one, else when the window is activated.
void GiveFocusBack(HWND control);
// The control of `window` that has the focus; null when none has.
HWND FocusedControl(HWND window);
void ForgetFocus(HWND window);
