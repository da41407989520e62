#include "text_fit.h"

#include "FrmMain_controls.h"
#include "FrmOption_controls.h"
#include "form_layout.h"
#include "ui_driver.h"

namespace gui {

namespace {

// The width a control leaves its text: a check box loses its box and the
// gap after it, a button its raised edges.
int TextWidth(ControlKind kind, int controlWidth)
{
    switch (kind) {
    case ControlKind::CheckBox:
        return controlWidth - GetSystemMetrics(SM_CXMENUCHECK) - GetSystemMetrics(SM_CXEDGE);
    case ControlKind::Button:
        return controlWidth - 4 * GetSystemMetrics(SM_CXEDGE);
    default:
        break;
    }
    return controlWidth;
}

// The controls that show a text of their own; a frame's caption, a list and
// a box that the user types in are not measured.
bool ShowsText(ControlKind kind)
{
    return kind == ControlKind::Label || kind == ControlKind::CheckBox || kind == ControlKind::Button;
}

template <size_t N>
void Measure(const char* windowName, HWND window, const ControlSpec (&controls)[N], const FormFonts& fonts,
             std::vector<TextFit>& fits)
{
    HDC dc = CreateCompatibleDC(nullptr);
    for (const ControlSpec& control : controls) {
        if (!ShowsText(control.kind))
            continue;
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
    Measure("FrmMain", main, kFrmMainControls, fonts, fits);
    if (dialog != nullptr)
        Measure("FrmOption", dialog, kFrmOptionControls, fonts, fits);
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
