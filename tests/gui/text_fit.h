// Whether each text of the utility's two windows fits its control, in the
// font the window uses at the screen's DPI: every label, check box and
// button, its control's size beside its text's extent (DrawTextW,
// DT_CALCRECT | DT_WORDBREAK at the width the text gets). The caller must
// see the screen in its own pixels (vkui::BecomeDpiAware).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace gui {

struct TextFit {
    const char* window;
    const char* control;
    int width, height;         // the control's
    int textWidth, textHeight; // the text's
    int lines;
    bool fits;
};

// The texts of the main window and, when `dialog` is not null, of the
// folder dialog.
std::vector<TextFit> MeasureTextFit(HWND main, HWND dialog);

// The face that the windows' font is drawn with.
std::wstring FormFontFace();

} // namespace gui
