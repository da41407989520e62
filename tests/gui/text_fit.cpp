#include "text_fit.h"

#include "FrmMain_ids.h"
#include "FrmOption_ids.h"
#include "form_layout.h"
#include "ui_driver.h"

namespace gui {

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
void Measure(const char* windowName, HWND window, const Checked (&controls)[N], const FormFonts& fonts,
             std::vector<TextFit>& fits)
{
    HDC dc = CreateCompatibleDC(nullptr);
    for (const Checked& control : controls) {
        HWND handle = vkui::FindControl(window, control.id);
        RECT place;
        GetWindowRect(handle, &place);
        TextFit fit = {windowName, control.name, place.right - place.left, place.bottom - place.top, 0, 0, 0, false};
        const std::wstring text = vkui::WindowText(handle);
        HGDIOBJ previous = SelectObject(dc, fonts.For(control.fontSize));
        TEXTMETRICW metrics = {};
        GetTextMetricsW(dc, &metrics);
        RECT extent = {0, 0, TextWidth(control.kind, fit.width), 0};
        DrawTextW(dc, text.c_str(), -1, &extent, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
        SelectObject(dc, previous);
        fit.textWidth = extent.right;
        fit.textHeight = extent.bottom - extent.top;
        fit.lines = metrics.tmHeight > 0 ? fit.textHeight / static_cast<int>(metrics.tmHeight) : 0;
        fit.fits = text.empty() ||
                   (fit.textWidth <= TextWidth(control.kind, fit.width) && fit.textHeight <= fit.height);
        fits.push_back(fit);
    }
    DeleteDC(dc);
}

} // namespace

std::vector<TextFit> MeasureTextFit(HWND main, HWND dialog)
{
    const TwipsScale scale;
    const FormFonts fonts(scale);
    std::vector<TextFit> fits;
    Measure("FrmMain", main, kMain, fonts, fits);
    if (dialog != nullptr)
        Measure("FrmOption", dialog, kDialog, fonts, fits);
    return fits;
}

std::wstring FormFontFace()
{
    const TwipsScale scale;
    const FormFonts fonts(scale);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, fonts.For(kFormFontSize));
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(dc, LF_FACESIZE, face);
    SelectObject(dc, previous);
    DeleteDC(dc);
    return face;
}

} // namespace gui
