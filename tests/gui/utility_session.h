// VK_UTL.exe driven as a user would: started in the test's prefix, its main
// window and controls found, its message boxes read and answered.
#pragma once

#include "ui_driver.h"
#include "wide_text_checks.h"

#include <doctest.h>

#include <memory>
#include <string>

namespace gui {

using vktest::Utf8;

// The utility beside the test program (C:\vk\VK_UTL.exe), or a copy elsewhere.
std::wstring UtilityPath();

// One run of the utility.
class UtilitySession {
public:
    explicit UtilitySession(const vkui::StartOptions& options = DefaultOptions());

    static vkui::StartOptions DefaultOptions();

    vkui::Program& Program() { return program_; }
    // The main window, once shown (null when it never is).
    HWND WaitForMainWindow(DWORD milliseconds = vkui::kDefaultWait);
    HWND MainWindow() const { return main_; }

    // The next message box: its content, answered with `buttonId`.
    vkui::MessageBoxContent AnswerMessageBox(int buttonId = IDOK);
    // Whether a message box shows up within `milliseconds`.
    bool MessageBoxAppears(DWORD milliseconds);

    // Presses `button` of `window` (the main window or the folder dialog)
    // to start a grant that lasts some seconds, and checks while it runs
    // that the main window answers at once and is not hung, that a second
    // press, a close (the close box, WM_CLOSE, Esc) and the end of the
    // session are refused, and that every other button of `window` is
    // disabled (`otherButton` one of them); afterwards, that the focus is
    // back on `button`. Returns the message that follows the grant,
    // answered, and checks that no other follows.
    vkui::MessageBoxContent GrantWhileAlive(HWND window, HWND button, HWND otherButton);

    // The process's exit code once it ended (kNoExit when it still runs).
    DWORD ExitCode(DWORD milliseconds = vkui::kDefaultWait);

private:
    vkui::Program program_;
    HWND main_ = nullptr;
};

const DWORD kNoExit = 0xFFFFFFFF;

// A control of a window by its ID, frames searched too.
inline HWND Control(HWND window, int id) { return vkui::FindControl(window, id); }
std::wstring Caption(HWND control);
bool IsShown(HWND control);   // visible itself (its window flag)
bool IsEnabled(HWND control);
int CheckState(HWND checkBox); // BST_UNCHECKED, BST_CHECKED, BST_INDETERMINATE
// Clicks a button without waiting for what the click starts.
void Click(HWND button);

} // namespace gui

