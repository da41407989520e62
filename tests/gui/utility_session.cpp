#include "utility_session.h"

#include "FrmMain_ids.h"
#include "test_support.h"

namespace gui {

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
    for (int i = 0; i < 500 && IsWindow(box) && IsWindowVisible(box); ++i)
        Sleep(10);
    return content;
}

bool UtilitySession::MessageBoxAppears(DWORD milliseconds)
{
    return vkui::WaitForMessageBox(program_, milliseconds) != nullptr;
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
