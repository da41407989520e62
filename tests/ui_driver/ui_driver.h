// Drives Windows programs from a test program, as a user would: starts a
// program, finds its top-level windows, reads a message box (title, text,
// icon, buttons), presses a button, sees the focus, presses keys and
// collects the exit code.
//
// Everything works across processes: texts are read with WM_GETTEXT sent
// with a time-out, buttons are pressed by posting WM_COMMAND (a modal loop
// that the press starts must not block the test), and a message box's icon
// is told from the pixels on the screen.
#pragma once

#include "test_support.h"

#include <windows.h>

#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace vkui {

// --- Programs -----------------------------------------------------------------

struct StartOptions {
    std::wstring program;          // path of the executable
    std::wstring arguments;        // appended after the quoted program path
    std::wstring workingDirectory; // empty: the test's own
    // Variables set on top of the test's own environment; an empty value
    // removes the variable.
    std::vector<std::pair<std::wstring, std::wstring>> environment;
    // A library loaded into the program once it waits for input (empty:
    // none), from a thread of the driver's making.
    std::wstring injectedLibrary;
};

// A program started for a test. A program still running when the object
// goes out of scope is terminated.
class Program {
public:
    explicit Program(const StartOptions& options);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool Started() const { return process_ != nullptr; }
    DWORD Id() const { return id_; }
    HANDLE Process() const { return process_; }
    bool HasExited() const;
    // The exit code, or nothing when the program still runs after `milliseconds`.
    std::optional<DWORD> WaitForExit(DWORD milliseconds);

private:
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
};

// --- Windows ------------------------------------------------------------------

// Which top-level windows to look for; an empty field matches anything.
struct WindowQuery {
    std::wstring title;
    std::wstring className;
};

using vktest::WaitScale;
// How long the driver waits for a window, a box or an exit: 15 s, times the
// wait factor where the tests run under emulation.
inline const DWORD kDefaultWait = 15000 * WaitScale();
// How long a test watches for something that must not happen (a box, a
// window that must not close): 1 s, times the same factor.
inline const DWORD kQuietWait = 1000 * WaitScale();

// The visible top-level windows of a process that match `query`.
std::vector<HWND> FindWindows(DWORD processId, const WindowQuery& query = {});

// Waits until a visible top-level window of the process matches `query`;
// null when none appears in time or when the process ends first.
HWND WaitForWindow(const Program& program, const WindowQuery& query,
                   DWORD milliseconds = kDefaultWait);

// The child window with this control ID anywhere below `window` (inside
// frames too); null when there is none.
HWND FindControl(HWND window, int id);

std::wstring ClassName(HWND window);
// The window's text, asked for with WM_GETTEXT (GetWindowText does not send
// it to another process's controls).
std::wstring WindowText(HWND window);

// --- Message boxes --------------------------------------------------------------

extern const wchar_t kDialogClass[]; // "#32770"

enum class BoxIcon { None, Information, Warning, Error, Question, Unknown };
const char* ToString(BoxIcon icon);
inline std::ostream& operator<<(std::ostream& out, BoxIcon icon) { return out << ToString(icon); }

struct DialogButton {
    int id;
    std::wstring text;
    HWND window;
};

struct MessageBoxContent {
    std::wstring title;
    std::wstring text;
    BoxIcon icon = BoxIcon::None;
    std::vector<DialogButton> buttons; // in the order of the box's child windows
    HWND owner = nullptr;
};

// Waits for a message box (a dialog-class window) of the program.
HWND WaitForMessageBox(const Program& program, DWORD milliseconds = kDefaultWait);

// Reads a message box that is shown on the screen.
MessageBoxContent ReadMessageBox(HWND box);

// Presses the dialog's button with this ID as a click would; false when the
// dialog has no such button.
bool PressButton(HWND dialog, int buttonId);

// The screen's pixels in `area` (screen coordinates), row by row, as
// 0x00RRGGBB.
std::vector<DWORD> ScreenPixels(const RECT& area);

// --- Focus, activation and keys --------------------------------------------------

// Sees the screen in its own pixels: without it, Wine maps the windows of a
// program that knows the DPI to 96 DPI for this one.
void BecomeDpiAware();

// The control with the keyboard focus in the thread of `window`.
HWND FocusedControl(HWND window);
// Whether the control draws its focus rectangle (Windows may hide it until
// a key is pressed).
bool ShowsFocusRectangle(HWND control);
HWND ForegroundWindow();
HWND Owner(HWND window);

// Presses and releases a key as the keyboard does: it goes to the focused
// control of the foreground window.
void PressKey(WORD virtualKey);

// Makes a window of this program the active one, then `window` again, as
// Alt+Tab to another program and back does.
void SwitchAwayAndBack(HWND window);

// Waits until `condition()` holds; false when it still does not after
// `milliseconds`.
template <typename Condition>
bool WaitUntil(Condition condition, DWORD milliseconds = 5000 * WaitScale())
{
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start >= milliseconds)
            return false;
        Sleep(20);
    }
    return true;
}

} // namespace vkui
