// Whether each text of the utility's two windows fits its control, with the
// font the window uses at the screen's DPI: starts VK_UTL.exe (beside this
// program), opens the folder dialog, and for every label, check box and
// button prints the control's size beside its text's extent (DrawTextW,
// DT_CALCRECT | DT_WORDBREAK at the width the text gets). A figure for the
// notes, not a test: it flags what does not fit and always exits 0.
#include "FrmMain_ids.h"
#include "FrmOption_ids.h"
#include "form_layout.h"
#include "ui_driver.h"

#include <cstdio>
#include <string>

namespace {

enum class Kind { Label, CheckBox, Button };

struct Checked {
    int id;
    const char* name;
    Kind kind;
    int fontSize;
};

const Checked kMain[] = {
    {kLblFont, "lblFont", Kind::Label, kFormFontSize},
    {kChkFont, "chkFont", Kind::CheckBox, kFormFontSize},
    {kLblMode, "lblMode", Kind::Label, kFormFontSize},
    {kCmdOK_FONT, "CmdOK_FONT", Kind::Button, kFormFontSize},
    {kLblVESKA, "lblVESKA", Kind::Label, kFormFontSize},
    {kCmdVESKA, "CmdVESKA", Kind::Button, kFormFontSize},
    {kLblOption, "lblOption", Kind::Label, kFormFontSize},
    {kCmdView, "CmdView", Kind::Button, kFormFontSize},
    {kCmdAdd, "cmdAdd", Kind::Button, kFormFontSize},
    {kCmdExit, "CmdExit", Kind::Button, kFormFontSize},
};

const Checked kDialog[] = {
    {kLblACL, "lblACL", Kind::Label, kSmallFontSize},
    {kCmdOK, "CmdOK", Kind::Button, kFormFontSize},
    {kCmdClose, "CmdClose", Kind::Button, kFormFontSize},
};

// The width a control leaves its text: a check box loses its box and the
// gap after it, a button its raised edges.
int TextWidth(Kind kind, int controlWidth)
{
    switch (kind) {
    case Kind::CheckBox:
        return controlWidth - GetSystemMetrics(SM_CXMENUCHECK) - GetSystemMetrics(SM_CXEDGE);
    case Kind::Button:
        return controlWidth - 4 * GetSystemMetrics(SM_CXEDGE);
    case Kind::Label:
        break;
    }
    return controlWidth;
}

template <size_t N>
int Report(const char* windowName, HWND window, const Checked (&controls)[N], const FormFonts& fonts)
{
    int misfits = 0;
    HDC dc = CreateCompatibleDC(nullptr);
    for (const Checked& control : controls) {
        HWND handle = vkui::FindControl(window, control.id);
        RECT place;
        GetWindowRect(handle, &place);
        const int width = place.right - place.left;
        const int height = place.bottom - place.top;
        const std::wstring text = vkui::WindowText(handle);
        HGDIOBJ previous = SelectObject(dc, fonts.For(control.fontSize));
        TEXTMETRICW metrics = {};
        GetTextMetricsW(dc, &metrics);
        RECT extent = {0, 0, TextWidth(control.kind, width), 0};
        DrawTextW(dc, text.c_str(), -1, &extent, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
        SelectObject(dc, previous);
        const int textHeight = extent.bottom - extent.top;
        const bool fits =
            text.empty() || (extent.right <= TextWidth(control.kind, width) && textHeight <= height);
        misfits += fits ? 0 : 1;
        std::printf("%-9s %-11s control %4d x %3d  text %4d x %3d  %2d line(s)  %s\n", windowName,
                    control.name, width, height, static_cast<int>(extent.right), textHeight,
                    metrics.tmHeight > 0 ? textHeight / static_cast<int>(metrics.tmHeight) : 0,
                    fits ? "fits" : "DOES NOT FIT");
    }
    DeleteDC(dc);
    return misfits;
}

std::wstring FaceOf(const FormFonts& fonts)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, fonts.For(kFormFontSize));
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(dc, LF_FACESIZE, face);
    SelectObject(dc, previous);
    DeleteDC(dc);
    return face;
}

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
    const TwipsScale scale;
    const FormFonts fonts(scale);
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

    std::printf("text fit at %d DPI, the windows' font drawn with %s\n", scale.DpiY(),
                Utf8(FaceOf(fonts)).c_str());
    int misfits = Report("FrmMain", main, kMain, fonts);
    if (dialog != nullptr)
        misfits += Report("FrmOption", dialog, kDialog, fonts);
    std::printf("%d text(s) do not fit\n", misfits);
    if (dialog != nullptr)
        PostMessageW(dialog, WM_CLOSE, 0, 0);
    PostMessageW(main, WM_CLOSE, 0, 0);
    program.WaitForExit(vkui::kDefaultWait);
    return 0;
}
