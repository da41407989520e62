// Whether each text of the utility's two windows fits its control, with the
// font the window uses at the screen's DPI: starts VK_UTL.exe (beside this
// program), opens the folder dialog, and for every label, check box and
// button prints the control's size beside its text's extent (text_fit.h).
// A figure for the notes: it flags what does not fit and always exits 0
// (the layout tests assert it).
#include "FrmMain_ids.h"
#include "FrmOption_ids.h"
#include "form_layout.h"
#include "text_fit.h"
#include "ui_driver.h"

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const std::wstring& text)
{
    std::string bytes(text.size() * 3 + 1, '\0');
    bytes.resize(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &bytes[0],
                                     static_cast<int>(bytes.size()), nullptr, nullptr));
    return bytes.empty() ? bytes : bytes.substr(0, bytes.size() - 1);
}

} // namespace

int main()
{
    vkui::BecomeDpiAware();
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring utility = self;
    utility = utility.substr(0, utility.find_last_of(L'\\')) + L"\\VK_UTL.exe";

    vkui::StartOptions options;
    options.program = utility;
    vkui::Program program(options);
    HWND main = vkui::WaitForWindow(program, {L"", VK_UTL_MAIN_CLASS});
    if (main == nullptr) {
        std::printf("text fit: the main window did not show\n");
        return 0;
    }
    PostMessageW(vkui::FindControl(main, kCmdAdd), BM_CLICK, 0, 0);
    HWND dialog = vkui::WaitForWindow(program, {L"", VK_UTL_OPTION_CLASS});

    std::printf("text fit at %d DPI, the windows' font drawn with %s\n", TwipsScale().DpiY(),
                Utf8(gui::FormFontFace()).c_str());
    int misfits = 0;
    for (const gui::TextFit& fit : gui::MeasureTextFit(main, dialog)) {
        misfits += fit.fits ? 0 : 1;
        std::printf("%-9s %-11s control %4d x %3d  text %4d x %3d  %2d line(s)  %s\n", fit.window,
                    fit.control, fit.width, fit.height, fit.textWidth, fit.textHeight, fit.lines,
                    fit.fits ? "fits" : "DOES NOT FIT");
    }
    std::printf("%d text(s) do not fit\n", misfits);
    if (dialog != nullptr)
        PostMessageW(dialog, WM_CLOSE, 0, 0);
    PostMessageW(main, WM_CLOSE, 0, 0);
    program.WaitForExit(vkui::kDefaultWait);
    return 0;
}
