// The keys and the default button of a dialog, for the utility's windows,
// which are ordinary windows and not dialog boxes: Enter, Esc, and which
// push button is drawn as the one Enter presses.
#pragma once

#include <windows.h>

// Push buttons look as a dialog's do: the focused one is drawn as the
// default (the one Enter presses), and `defaultButton` (may be null) when
// the focus is on no button. Called with the buttons' focus notifications.
void ShowDefaultButton(HWND window, HWND defaultButton);
void FollowButtonFocus(HWND window, HWND control, int notification, HWND defaultButton);

// Enter and Esc, as dialog boxes take them, unless the focused control
// wants the key itself (an open drop-down list): Enter presses the focused
// push button, else `defaultButton` when it can be pressed; Esc is the
// window's cancel (WM_COMMAND IDCANCEL). True when the key was taken.
bool TranslateDialogKey(HWND window, const MSG& message, HWND defaultButton);
bool IsKeyDown(const MSG& message, WPARAM key);
// Presses a button as a click does: the form hears BN_CLICKED.
void PressButton(HWND button);
