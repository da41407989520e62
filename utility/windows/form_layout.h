// Windows laid out as tables of controls in twips, the unit the layout was
// designed in, converted to pixels at the running DPI.
#pragma once

#include <windows.h>

#include <cstddef>

// Twips (1/1440 inch) to pixels at the screen's DPI.
class TwipsScale {
public:
    TwipsScale();
    int X(int twips) const { return MulDiv(twips, dpiX_, kTwipsPerInch); }
    int Y(int twips) const { return MulDiv(twips, dpiY_, kTwipsPerInch); }
    int DpiX() const { return dpiX_; }
    int DpiY() const { return dpiY_; }

private:
    static const int kTwipsPerInch = 1440;
    int dpiX_;
    int dpiY_;
};

// Owns one GDI font.
class Font {
public:
    // "ＭＳ Ｐゴシック" at a size in hundredths of a point (975 for 9.75 pt),
    // regular weight, Shift-JIS character set.
    Font(int hundredthsOfPoint, const TwipsScale& scale);
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;
    HFONT Get() const { return font_; }

private:
    HFONT font_;
};

// Font sizes of the layouts, in hundredths of a point.
const int kFormFontSize = 975;
const int kSmallFontSize = 900;

// The two fonts that the windows use.
class FormFonts {
public:
    explicit FormFonts(const TwipsScale& scale) : form_(kFormFontSize, scale), small_(kSmallFontSize, scale) {}
    HFONT For(int size) const { return size == kSmallFontSize ? small_.Get() : form_.Get(); }

private:
    Font form_;
    Font small_;
};

enum class ControlKind { Frame, Label, Button, CheckBox, ComboBox, TextBox, DirList };

// One control of a window's layout. `parent` is the ID of the frame it
// stands in, or 0 for the window itself; positions are relative to it.
// `name` is the control's name in the layout, for whoever reports on it.
struct ControlSpec {
    int id;
    const char* name;
    ControlKind kind;
    int parent;
    const wchar_t* caption;
    int left;
    int top;
    int width;
    int height;
    int tabIndex;
    int fontSize; // 0: the form's font
};

// Creates the controls of `specs` in table order, each with its font, and
// orders the focusable ones for the keyboard by their tab index. A frame
// is a container: the controls inside it are its children, and it passes
// their notifications on to the window.
void CreateControls(HWND window, const ControlSpec* specs, size_t count, const FormFonts& fonts,
                    const TwipsScale& scale);

// Sizes a window so that its client area is `width` x `height` twips, and
// centres it on its owner, or on the screen when it has none, inside the
// work area of that monitor.
void SizeClientArea(HWND window, int width, int height, const TwipsScale& scale);

// Makes a drop-down list as wide as its longest entry in the combo box's
// font (never narrower than the box), so that a long entry can be read.
void FitDropDownToEntries(HWND combo);

// The control with `id` anywhere below `window` (controls of frames included).
HWND FindControl(HWND window, int id);
