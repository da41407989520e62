#include "ui_driver.h"

namespace vkui {

const wchar_t kDialogClass[] = L"#32770";

namespace {

const wchar_t kStaticClass[] = L"Static";
const wchar_t kButtonClass[] = L"Button";
// The message box's text is the static control with this ID.
const int kTextControlId = 0xFFFF;
// A box is painted shortly after it appears: keep looking at its icon this long.
const DWORD kIconPaintWait = 3000;
const DWORD kPollInterval = 50;

struct StandardIcon {
    BoxIcon kind;
    WORD resource;
};

// The system icons of user32 (IDI_INFORMATION, IDI_WARNING, IDI_ERROR and
// IDI_QUESTION, which the headers define as narrow or wide by UNICODE).
const StandardIcon kStandardIcons[] = {
    {BoxIcon::Information, 32516},
    {BoxIcon::Warning, 32515},
    {BoxIcon::Error, 32513},
    {BoxIcon::Question, 32514},
};

// A device context with a 32-bit bitmap of its own, released on scope exit.
class Canvas {
public:
    Canvas(int width, int height) : width_(width), height_(height)
    {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height; // top-down rows
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc_ = CreateCompatibleDC(nullptr);
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        bits_ = static_cast<const DWORD*>(bits);
        previous_ = SelectObject(dc_, bitmap_);
    }
    ~Canvas()
    {
        SelectObject(dc_, previous_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC Dc() const { return dc_; }

    // The colours, without the unused fourth byte, row by row.
    std::vector<DWORD> Pixels() const
    {
        GdiFlush();
        std::vector<DWORD> pixels(bits_, bits_ + width_ * height_);
        for (DWORD& pixel : pixels)
            pixel &= 0x00FFFFFF;
        return pixels;
    }

private:
    int width_;
    int height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    const DWORD* bits_ = nullptr;
};

// The screen's device context, released on scope exit.
class ScreenDc {
public:
    ScreenDc() : dc_(GetDC(nullptr)) {}
    ~ScreenDc() { ReleaseDC(nullptr, dc_); }
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
    HDC Get() const { return dc_; }

private:
    HDC dc_;
};

// A solid brush, deleted on scope exit.
class SolidBrush {
public:
    explicit SolidBrush(COLORREF colour) : brush_(CreateSolidBrush(colour)) {}
    ~SolidBrush() { DeleteObject(brush_); }
    SolidBrush(const SolidBrush&) = delete;
    SolidBrush& operator=(const SolidBrush&) = delete;
    HBRUSH Get() const { return brush_; }

private:
    HBRUSH brush_;
};

} // namespace

std::vector<DWORD> ScreenPixels(const RECT& area)
{
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    Canvas copy(width, height);
    const ScreenDc screen;
    BitBlt(copy.Dc(), 0, 0, width, height, screen.Get(), area.left, area.top, SRCCOPY);
    return copy.Pixels();
}

namespace {

std::vector<DWORD> IconPixels(HICON icon, int width, int height, COLORREF background)
{
    Canvas canvas(width, height);
    const RECT all = {0, 0, width, height};
    const SolidBrush brush(background);
    FillRect(canvas.Dc(), &all, brush.Get());
    DrawIconEx(canvas.Dc(), 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
    return canvas.Pixels();
}

// Whether the screen shows `icon`: every pixel that the icon covers fully
// (the same drawn over black and over white) must be the same on the screen.
bool ShowsIcon(const std::vector<DWORD>& screen, HICON icon, int width, int height)
{
    const std::vector<DWORD> overBlack = IconPixels(icon, width, height, RGB(0, 0, 0));
    const std::vector<DWORD> overWhite = IconPixels(icon, width, height, RGB(255, 255, 255));
    size_t covered = 0;
    for (size_t i = 0; i < screen.size(); ++i) {
        if (overBlack[i] != overWhite[i])
            continue;
        ++covered;
        if (screen[i] != overBlack[i])
            return false;
    }
    return covered > 0;
}

RECT ClientAreaOnScreen(HWND control)
{
    RECT area = {};
    GetClientRect(control, &area);
    MapWindowPoints(control, nullptr, reinterpret_cast<POINT*>(&area), 2);
    return area;
}

BoxIcon IdentifyIcon(HWND iconControl)
{
    const RECT area = ClientAreaOnScreen(iconControl);
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0)
        return BoxIcon::Unknown;
    const DWORD start = GetTickCount();
    do {
        const std::vector<DWORD> screen = ScreenPixels(area);
        for (const StandardIcon& standard : kStandardIcons)
            if (ShowsIcon(screen, LoadIconW(nullptr, MAKEINTRESOURCEW(standard.resource)), width, height))
                return standard.kind;
        Sleep(kPollInterval);
    } while (GetTickCount() - start < kIconPaintWait);
    return BoxIcon::Unknown;
}

bool IsIconControl(HWND control)
{
    return (GetWindowLongW(control, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
}

// A box without an icon may keep its icon control, empty.
bool HoldsIcon(HWND control)
{
    DWORD_PTR icon = 0;
    SendMessageTimeoutW(control, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 5000, &icon);
    return icon != 0;
}

int ControlId(HWND control) { return GetDlgCtrlID(control) & 0xFFFF; }

// The visible child windows: a message box hides the controls that its
// style does not use.
std::vector<HWND> VisibleChildren(HWND parent)
{
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT))
        if (IsWindowVisible(child))
            children.push_back(child);
    return children;
}

} // namespace

const char* ToString(BoxIcon icon)
{
    switch (icon) {
    case BoxIcon::None: return "no icon";
    case BoxIcon::Information: return "information";
    case BoxIcon::Warning: return "warning";
    case BoxIcon::Error: return "error";
    case BoxIcon::Question: return "question";
    case BoxIcon::Unknown: return "unknown icon";
    }
    return "?";
}

HWND WaitForMessageBox(const Program& program, DWORD milliseconds)
{
    return WaitForWindow(program, {L"", kDialogClass}, milliseconds);
}

MessageBoxContent ReadMessageBox(HWND box)
{
    MessageBoxContent content;
    content.title = WindowText(box);
    content.owner = GetWindow(box, GW_OWNER);
    for (HWND child : VisibleChildren(box)) {
        const std::wstring kind = ClassName(child);
        if (_wcsicmp(kind.c_str(), kButtonClass) == 0) {
            content.buttons.push_back({ControlId(child), WindowText(child), child});
        } else if (_wcsicmp(kind.c_str(), kStaticClass) == 0) {
            if (IsIconControl(child))
                content.icon = HoldsIcon(child) ? IdentifyIcon(child) : BoxIcon::None;
            else if (ControlId(child) == kTextControlId)
                content.text = WindowText(child);
        }
    }
    return content;
}

bool PressButton(HWND dialog, int buttonId)
{
    for (HWND child : VisibleChildren(dialog)) {
        if (ControlId(child) == buttonId &&
            _wcsicmp(ClassName(child).c_str(), kButtonClass) == 0)
            return PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                                reinterpret_cast<LPARAM>(child)) != FALSE;
    }
    return false;
}

} // namespace vkui
