// Owns a window's device context from GetDC for as long as it lives, with the
// window's own font selected into it when asked, so that text is measured
// as the window draws it.
#pragma once

#include <windows.h>

class WindowDc {
public:
    enum FontChoice { kDefaultFont, kWindowFont };

    explicit WindowDc(HWND window, FontChoice font = kDefaultFont)
        : window_(window), dc_(GetDC(window)), previousFont_(nullptr)
    {
        if (font == kWindowFont)
            previousFont_ = SelectObject(dc_, reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)));
    }
    ~WindowDc()
    {
        if (previousFont_ != nullptr)
            SelectObject(dc_, previousFont_);
        ReleaseDC(window_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;

    HDC Get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
    HGDIOBJ previousFont_;
};
