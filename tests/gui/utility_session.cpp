#include "utility_session.h"

#include "FrmMain_ids.h"
#include "test_support.h"

namespace gui {

namespace {

// Whether `window` answers `message` within half a second.
bool AnswersAtOnce(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result = nullptr)
{
    DWORD_PTR ignored = 0;
    // Half a second, longer where the tests run under emulation.
    return SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG,
                               500 * vkui::WaitScale(),
                               result != nullptr ? result : &ignored) != 0;
}

} // namespace

std::wstring UtilityPath()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L'\\')) + L"\\VK_UTL.exe";
}

vkui::StartOptions UtilitySession::DefaultOptions()
{
    vkui::StartOptions options;
    options.program = UtilityPath();
    // Windows' inherited entries, which Wine does not compute.
    options.injectedLibrary = vktest::Widen(vktest::ProgramDir()) + L"\\vk_windows_inheritance.dll";
    return options;
}

UtilitySession::UtilitySession(const vkui::StartOptions& options) : program_(options) {}

HWND UtilitySession::WaitForMainWindow(DWORD milliseconds)
{
    main_ = vkui::WaitForWindow(program_, {L"", VK_UTL_MAIN_CLASS}, milliseconds);
    return main_;
}

vkui::MessageBoxContent UtilitySession::AnswerMessageBox(int buttonId)
{
    HWND box = vkui::WaitForMessageBox(program_);
    if (box == nullptr)
        return {};
    vkui::MessageBoxContent content = vkui::ReadMessageBox(box);
    vkui::PressButton(box, buttonId);
    // The box is gone before the next step looks for windows.
    vkui::WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); });
    return content;
}

bool UtilitySession::MessageBoxAppears(DWORD milliseconds)
{
    return vkui::WaitForMessageBox(program_, milliseconds) != nullptr;
}

vkui::MessageBoxContent UtilitySession::GrantWhileAlive(HWND window, HWND button, HWND otherButton)
{
    Click(button);
    REQUIRE(vkui::WaitUntil([&] { return !IsEnabled(button); }));
    const DWORD start = GetTickCount();
    CHECK(AnswersAtOnce(main_, WM_NULL, 0, 0));
    MESSAGE("while the grant runs the main window answers in " << GetTickCount() - start << " ms");
    // Windows calls a window hung only after 5 s without a look at its
    // queue: the answer above is the sharper check.
    CHECK_FALSE(IsHungAppWindow(main_));

    // Sent, not posted: each one is handled before the next step.
    CHECK(AnswersAtOnce(window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                        reinterpret_cast<LPARAM>(button)));
    CHECK(AnswersAtOnce(window, WM_SYSCOMMAND, SC_CLOSE, 0));
    for (HWND closed : {window, main_})
        CHECK(AnswersAtOnce(closed, WM_CLOSE, 0, 0));
    CHECK(vkui::WaitUntil([&] { return vkui::ForegroundWindow() == window; }));
    // Escape would close the window: the window's thread reads it while
    // the grant runs, and the window is still there once the grant ends.
    vkui::PressKey(VK_ESCAPE);
    DWORD_PTR mayEnd = TRUE;
    CHECK(AnswersAtOnce(main_, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, &mayEnd));
    CHECK(mayEnd == FALSE);
    // Still busy: every step above came while the grant ran.
    CHECK_FALSE(IsEnabled(otherButton));

    // Every object below is written now: under emulation that takes a while.
    MessageBoxAppears(4 * vkui::kDefaultWait);
    const vkui::MessageBoxContent box = AnswerMessageBox();
    CHECK_FALSE(MessageBoxAppears(vkui::kQuietWait));
    CHECK(IsWindow(window));
    CHECK(vkui::WaitUntil([&] { return vkui::FocusedControl(window) == button; }));
    return box;
}

DWORD UtilitySession::ExitCode(DWORD milliseconds)
{
    const std::optional<DWORD> code = program_.WaitForExit(milliseconds);
    return code ? *code : kNoExit;
}

std::wstring Caption(HWND control) { return vkui::WindowText(control); }

bool IsShown(HWND control)
{
    return (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

bool IsEnabled(HWND control) { return IsWindowEnabled(control) != FALSE; }

int CheckState(HWND checkBox)
{
    DWORD_PTR state = 0;
    SendMessageTimeoutW(checkBox, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 5000, &state);
    return static_cast<int>(state);
}

void Click(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

} // namespace gui
