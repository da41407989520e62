// Both windows' layout as the screen shows it at the DPI the prefix runs at
// (the program gui_layout_120dpi expects 120, gui_layout 96): the client
// areas, where each control stands inside its frame, and the keyboard order.
#include "FrmMain_ids.h"
#include "FrmOption_ids.h"
#include "text_fit.h"
#include "utility_session.h"
#include "window_dc.h"

#include <doctest.h>

#include <cstdlib>
#include <string>
#include <utility>

using namespace gui;

namespace {

// The DPI that the program's name promises: "..._144dpi.exe", else 96.
int ExpectedDpi()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring name = path;
    const size_t suffix = name.rfind(L"dpi.exe");
    if (suffix == std::wstring::npos || suffix < 3)
        return 96;
    return std::stoi(name.substr(suffix - 3, 3));
}

int ScreenDpi()
{
    WindowDc screen(nullptr);
    return GetDeviceCaps(screen.Get(), LOGPIXELSY);
}

// A control's rectangle in its parent's client coordinates.
RECT PlaceInParent(HWND control)
{
    RECT place;
    GetWindowRect(control, &place);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&place), 2);
    return place;
}

struct Placement {
    int id;
    int parent; // 0: the window
    int left, top, width, height; // twips; height 0: the control's own
};

const Placement kMainPlacements[] = {
    {kFrameFont, 0, 120, 120, 8895, 2655},      {kLblFont, kFrameFont, 180, 360, 8535, 1335},
    {kChkFont, kFrameFont, 180, 1680, 8595, 375}, {kLblMode, kFrameFont, 480, 2100, 5715, 375},
    {kCmdOK_FONT, kFrameFont, 6720, 2160, 1755, 375}, {kFrmVESKA, 0, 120, 3000, 8895, 2895},
    {kLblVESKA, kFrmVESKA, 180, 360, 8535, 675}, {kCmdVESKA, kFrmVESKA, 6720, 1140, 1755, 375},
    {kLblOption, kFrmVESKA, 180, 1620, 8475, 675}, {kCmdView, kFrmVESKA, 4500, 2400, 1755, 375},
    {kCmdAdd, kFrmVESKA, 6720, 2400, 1755, 375}, {kCmdExit, 0, 6840, 6120, 1755, 375},
};

// The drop-down list sizes its closed height to its font.
const Placement kDialogPlacements[] = {
    {kFrameACL, 0, 120, 120, 7335, 3135},     {kCmbDrive, kFrameACL, 240, 1200, 1815, 0},
    {kTxtDir, kFrameACL, 240, 720, 5895, 315}, {kDir1, kFrameACL, 2160, 1200, 3975, 1560},
    {kLblACL, kFrameACL, 240, 360, 6795, 375}, {kCmdOK, 0, 1740, 3540, 1755, 375},
    {kCmdClose, 0, 3780, 3540, 1755, 375},
};

class Layout {
public:
    explicit Layout(int dpi) : dpi_(dpi) {}
    int Pixels(int twips) const { return MulDiv(twips, dpi_, 1440); }

    void CheckClientArea(HWND window, int width, int height) const
    {
        RECT client;
        GetClientRect(window, &client);
        CHECK(client.right == Pixels(width));
        CHECK(client.bottom == Pixels(height));
    }

    template <size_t N>
    void CheckPlacements(HWND window, const Placement (&placements)[N]) const
    {
        for (const Placement& placement : placements) {
            CAPTURE(placement.id);
            HWND control = Control(window, placement.id);
            REQUIRE(control != nullptr);
            CHECK(GetParent(control) == (placement.parent ? Control(window, placement.parent) : window));
            const RECT place = PlaceInParent(control);
            CHECK(place.left == Pixels(placement.left));
            CHECK(place.top == Pixels(placement.top));
            CHECK(place.right - place.left == Pixels(placement.width));
            if (placement.height != 0)
                CHECK(place.bottom - place.top == Pixels(placement.height));
        }
    }

private:
    int dpi_;
};

// The keyboard walks `order` and comes back to its first control.
template <size_t N>
void CheckKeyboardOrder(HWND window, const int (&order)[N])
{
    for (size_t i = 0; i < N; ++i) {
        CAPTURE(order[i]);
        CHECK(GetDlgCtrlID(GetNextDlgTabItem(window, Control(window, order[i]), FALSE)) ==
              order[(i + 1) % N]);
    }
}

// How many of the control's pixels on the screen stand out from the button
// face: half the range or more away from it in one primary.
int PixelsStandingOutFromFace(HWND control)
{
    RECT area;
    GetWindowRect(control, &area);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const int faceRgb[] = {GetRValue(face), GetGValue(face), GetBValue(face)};
    int count = 0;
    for (const DWORD pixel : vkui::ScreenPixels(area)) {
        const int rgb[] = {int(pixel >> 16 & 0xFF), int(pixel >> 8 & 0xFF), int(pixel & 0xFF)};
        for (int primary = 0; primary < 3; ++primary)
            if (std::abs(rgb[primary] - faceRgb[primary]) >= 128) {
                ++count;
                break;
            }
    }
    return count;
}

} // namespace

TEST_CASE("both windows stand where the layout puts them, in twips converted at the screen's DPI")
{
    vkui::BecomeDpiAware();
    const int dpi = ScreenDpi();
    REQUIRE(dpi == ExpectedDpi());
    const Layout layout(dpi);

    UtilitySession utility;
    HWND main = utility.WaitForMainWindow();
    REQUIRE(main != nullptr);
    // A slow start may keep the window from answering at once.
    CHECK(vkui::WaitUntil([&] { return Caption(main) == L"VESKA Windows ユーティリティ Ver.1.10"; }));
    layout.CheckClientArea(main, 9150, 6660);
    layout.CheckPlacements(main, kMainPlacements);
    CheckKeyboardOrder(main, {kChkFont, kCmdOK_FONT, kCmdVESKA, kCmdView, kCmdAdd, kCmdExit});
    // The labels' texts are readable in the scheme's colours (gui_layout_120dpi
    // runs in a dark high-contrast one).
    const std::pair<int, const char*> labels[] = {
        {kLblFont, "lblFont"}, {kLblVESKA, "lblVESKA"}, {kLblOption, "lblOption"}};
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    for (const auto& label : labels) {
        int standingOut = 0;
        vkui::WaitUntil([&] {
            return (standingOut = PixelsStandingOutFromFace(Control(main, label.first))) > 0;
        });
        MESSAGE(std::string(label.second) << ": " << standingOut << " pixels stand out from the face colour "
                             << int(GetRValue(face)) << " " << int(GetGValue(face)) << " "
                             << int(GetBValue(face)));
        CHECK(standingOut > 0);
    }

    Click(Control(main, kCmdAdd));
    HWND dialog = vkui::WaitForWindow(utility.Program(), {L"", VK_UTL_OPTION_CLASS});
    REQUIRE(dialog != nullptr);
    layout.CheckClientArea(dialog, 7770, 4110);
    layout.CheckPlacements(dialog, kDialogPlacements);
    CheckKeyboardOrder(dialog, {kCmbDrive, kTxtDir, kDir1, kCmdOK, kCmdClose});
    // Every text shows whole in the windows' font: a font a pixel too tall
    // pushes lblFont's last line out of sight.
    for (const TextFit& fit : MeasureTextFit(main, dialog)) {
        const std::string name = std::string(fit.window) + " " + fit.control;
        CHECK_MESSAGE(fit.fits, name << ": text " << fit.textWidth << " x " << fit.textHeight << " in "
                                     << fit.width << " x " << fit.height);
    }
    // The folder list's rows hold the system's small icons at this DPI.
    DWORD_PTR rowHeight = 0;
    SendMessageTimeoutW(Control(dialog, kDir1), LB_GETITEMHEIGHT, 0, 0, SMTO_ABORTIFHUNG, 5000,
                        &rowHeight);
    CHECK(static_cast<int>(rowHeight) >= GetSystemMetrics(SM_CYSMICON));
    PostMessageW(dialog, WM_CLOSE, 0, 0);
    REQUIRE(vkui::WaitUntil([&] { return vkui::ForegroundWindow() == main; }));

    // Esc closes the main window as 閉じる does.
    vkui::PressKey(VK_ESCAPE);
    CHECK(utility.ExitCode() == 0);
}
