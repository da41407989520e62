#include "form_layout.h"

#include "window_dc.h"

#include <algorithm>
#include <vector>

namespace {

const wchar_t kFaceName[] = L"ＭＳ Ｐゴシック";
const int kHundredthsPerInch = 7200; // of a point
const wchar_t kOriginalProcProperty[] = L"VK_UTL.FrameProc";

struct KindStyle {
    const wchar_t* className;
    DWORD style;
    DWORD exStyle;
};

KindStyle StyleOf(ControlKind kind)
{
    switch (kind) {
    case ControlKind::Frame:
        return {L"BUTTON", BS_GROUPBOX | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT};
    case ControlKind::Label:
        return {L"STATIC", SS_LEFT | SS_NOPREFIX, 0};
    case ControlKind::Button:
        // BS_NOTIFY: the window hears the focus move, to draw the default.
        return {L"BUTTON", BS_PUSHBUTTON | BS_NOTIFY | WS_TABSTOP, 0};
    case ControlKind::CheckBox:
        // Three states that code sets; the form decides what a click does.
        return {L"BUTTON", BS_3STATE | WS_TABSTOP, 0};
    case ControlKind::ComboBox:
        return {L"COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0};
    case ControlKind::TextBox:
        return {L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE};
    case ControlKind::DirList:
        return {L"LISTBOX",
                LBS_NOTIFY | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT |
                    WS_VSCROLL | WS_TABSTOP,
                WS_EX_CLIENTEDGE};
    }
    return {L"STATIC", 0, 0};
}

bool TakesFocus(ControlKind kind)
{
    return kind != ControlKind::Frame && kind != ControlKind::Label;
}

// A frame passes what its controls tell their parent on to the window, so
// that one window procedure handles every control wherever it stands.
LRESULT CALLBACK FrameProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto original = reinterpret_cast<WNDPROC>(GetPropW(frame, kOriginalProcProperty));
    switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
        return SendMessageW(GetAncestor(frame, GA_ROOT), message, wParam, lParam);
    case WM_ERASEBKGND: {
        // The window clips its children, so the frame paints what lies
        // behind the controls in it.
        RECT area;
        GetClientRect(frame, &area);
        FillRect(reinterpret_cast<HDC>(wParam), &area, GetSysColorBrush(COLOR_BTNFACE));
        return TRUE;
    }
    case WM_NCDESTROY:
        SetWindowLongPtrW(frame, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
        RemovePropW(frame, kOriginalProcProperty);
        break;
    }
    return CallWindowProcW(original, frame, message, wParam, lParam);
}

void MakeContainer(HWND frame)
{
    const LONG_PTR original =
        SetWindowLongPtrW(frame, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FrameProc));
    SetPropW(frame, kOriginalProcProperty, reinterpret_cast<HANDLE>(original));
}

// A combo box's height in the layout is that of its edit part; its list
// drops below it.
int WindowHeight(const ControlSpec& row, const TwipsScale& scale)
{
    const int height = scale.Y(row.height);
    return row.kind == ControlKind::ComboBox ? height * 10 : height;
}

// The position in the keyboard order: a control's own tab index, or for a
// frame that of the first control in it that takes the focus.
int KeyboardRank(const ControlSpec* specs, size_t count, const ControlSpec& row)
{
    if (row.kind != ControlKind::Frame)
        return row.tabIndex;
    int rank = row.tabIndex;
    bool found = false;
    for (size_t i = 0; i < count; ++i)
        if (specs[i].parent == row.id && TakesFocus(specs[i].kind) &&
            (!found || specs[i].tabIndex < rank)) {
            rank = specs[i].tabIndex;
            found = true;
        }
    return rank;
}

// The dialog manager walks siblings from the top of the z-order down.
void OrderForKeyboard(HWND window, const ControlSpec* specs, size_t count)
{
    std::vector<const ControlSpec*> order;
    for (size_t i = 0; i < count; ++i)
        order.push_back(&specs[i]);
    std::stable_sort(order.begin(), order.end(), [&](const ControlSpec* a, const ControlSpec* b) {
        return KeyboardRank(specs, count, *a) < KeyboardRank(specs, count, *b);
    });
    for (const ControlSpec* row : order)
        SetWindowPos(FindControl(window, row->id), HWND_BOTTOM, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

} // namespace

TwipsScale::TwipsScale()
{
    WindowDc screen(nullptr);
    dpiX_ = GetDeviceCaps(screen.Get(), LOGPIXELSX);
    dpiY_ = GetDeviceCaps(screen.Get(), LOGPIXELSY);
}

// The height in pixels is rounded down: the controls scale exactly with the
// DPI, and a font half a pixel taller than the layout's (9.75 points is 19.5
// pixels at 144 DPI) makes a label's last line wrap out of sight.
Font::Font(int hundredthsOfPoint, const TwipsScale& scale)
    : font_(CreateFontW(-(hundredthsOfPoint * scale.DpiY() / kHundredthsPerInch), 0, 0, 0,
                        FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                        CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                        kFaceName))
{
}

Font::~Font()
{
    if (font_ != nullptr)
        DeleteObject(font_);
}

void CreateControls(HWND window, const ControlSpec* specs, size_t count, const FormFonts& fonts,
                    const TwipsScale& scale)
{
    const HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE));
    for (size_t i = 0; i < count; ++i) {
        const ControlSpec& row = specs[i];
        const KindStyle style = StyleOf(row.kind);
        HWND parent = row.parent == 0 ? window : FindControl(window, row.parent);
        HWND control = CreateWindowExW(
            style.exStyle, style.className, row.caption, WS_CHILD | WS_VISIBLE | style.style,
            scale.X(row.left), scale.Y(row.top), scale.X(row.width), WindowHeight(row, scale),
            parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.id)), instance, nullptr);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(fonts.For(row.fontSize)),
                     FALSE);
        if (row.kind == ControlKind::Frame)
            MakeContainer(control);
    }
    OrderForKeyboard(window, specs, count);
}

namespace {

RECT WorkAreaOf(HWND window)
{
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
    return monitor.rcWork;
}

// Where a window of `size` starts so that it is centred on `anchor`, yet
// wholly inside [low, high) when it fits there.
LONG Centred(LONG anchorLow, LONG anchorHigh, LONG size, LONG low, LONG high)
{
    const LONG start = anchorLow + (anchorHigh - anchorLow - size) / 2;
    return std::max(low, std::min(start, high - size));
}

} // namespace

void SizeClientArea(HWND window, int width, int height, const TwipsScale& scale)
{
    RECT frame = {0, 0, scale.X(width), scale.Y(height)};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)));
    const LONG windowWidth = frame.right - frame.left;
    const LONG windowHeight = frame.bottom - frame.top;
    HWND owner = GetWindow(window, GW_OWNER);
    const RECT work = WorkAreaOf(owner != nullptr ? owner : window);
    RECT anchor = work;
    if (owner != nullptr)
        GetWindowRect(owner, &anchor);
    const LONG left = Centred(anchor.left, anchor.right, windowWidth, work.left, work.right);
    const LONG top = Centred(anchor.top, anchor.bottom, windowHeight, work.top, work.bottom);
    SetWindowPos(window, nullptr, left, top, windowWidth, windowHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void FitDropDownToEntries(HWND combo)
{
    WindowDc dc(combo, WindowDc::kWindowFont);
    LONG widest = 0;
    const LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        std::vector<wchar_t> entry(SendMessageW(combo, CB_GETLBTEXTLEN, i, 0) + 1, L'\0');
        SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(entry.data()));
        SIZE extent = {};
        GetTextExtentPoint32W(dc.Get(), entry.data(), lstrlenW(entry.data()), &extent);
        widest = std::max(widest, extent.cx);
    }
    // The list's border and the margin its items are drawn with, and room
    // for its scroll bar.
    const int margins = 4 * GetSystemMetrics(SM_CXEDGE) + GetSystemMetrics(SM_CXVSCROLL);
    SendMessageW(combo, CB_SETDROPPEDWIDTH, widest + margins, 0);
}

namespace {

struct SearchById {
    int id;
    HWND found;
};

BOOL CALLBACK MatchId(HWND child, LPARAM context)
{
    auto* search = reinterpret_cast<SearchById*>(context);
    if (GetDlgCtrlID(child) != search->id)
        return TRUE;
    search->found = child;
    return FALSE;
}

} // namespace

HWND FindControl(HWND window, int id)
{
    SearchById search = {id, nullptr};
    EnumChildWindows(window, MatchId, reinterpret_cast<LPARAM>(&search));
    return search.found;
}
