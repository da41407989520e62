// The main window's layout as the screen shows it at 96 DPI: the client
// area, where each control stands inside its frame, and the keyboard order.
#include "FrmMain_ids.h"
#include "utility_session.h"

#include <doctest.h>

using namespace gui;

namespace {

int Pixels(int twips) { return MulDiv(twips, 96, 1440); }

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
    int left, top, width, height; // twips
};

const Placement kPlacements[] = {
    {kFrameFont, 0, 120, 120, 8895, 2655},      {kLblFont, kFrameFont, 180, 360, 8535, 1335},
    {kChkFont, kFrameFont, 180, 1680, 8595, 375}, {kLblMode, kFrameFont, 480, 2100, 5715, 375},
    {kCmdOK_FONT, kFrameFont, 6720, 2160, 1755, 375}, {kFrmVESKA, 0, 120, 3000, 8895, 2895},
    {kLblVESKA, kFrmVESKA, 180, 360, 8535, 675}, {kCmdVESKA, kFrmVESKA, 6720, 1140, 1755, 375},
    {kLblOption, kFrmVESKA, 180, 1620, 8475, 675}, {kCmdView, kFrmVESKA, 4500, 2400, 1755, 375},
    {kCmdAdd, kFrmVESKA, 6720, 2400, 1755, 375}, {kCmdExit, 0, 6840, 6120, 1755, 375},
};

} // namespace

TEST_CASE("controls stand where the layout puts them, in twips converted at the screen's DPI")
{
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    REQUIRE(dpi == 96);

    UtilitySession utility;
    HWND main = utility.WaitForMainWindow();
    REQUIRE(main != nullptr);
    CHECK(Caption(main) == L"VESKA Windows ユーティリティ Ver.1.10");
    RECT client;
    GetClientRect(main, &client);
    CHECK(client.right == Pixels(9150));
    CHECK(client.bottom == Pixels(6660));

    for (const Placement& placement : kPlacements) {
        CAPTURE(placement.id);
        HWND control = Control(main, placement.id);
        REQUIRE(control != nullptr);
        CHECK(GetParent(control) == (placement.parent ? Control(main, placement.parent) : main));
        const RECT place = PlaceInParent(control);
        CHECK(place.left == Pixels(placement.left));
        CHECK(place.top == Pixels(placement.top));
        CHECK(place.right - place.left == Pixels(placement.width));
        CHECK(place.bottom - place.top == Pixels(placement.height));
    }

    // The keyboard walks the check box, the two execute buttons, the history,
    // add and close buttons, in that order.
    const int order[] = {kChkFont, kCmdOK_FONT, kCmdVESKA, kCmdView, kCmdAdd, kCmdExit, kChkFont};
    for (size_t i = 0; i + 1 < sizeof order / sizeof order[0]; ++i) {
        CAPTURE(order[i]);
        CHECK(GetDlgCtrlID(GetNextDlgTabItem(main, Control(main, order[i]), FALSE)) == order[i + 1]);
    }
    PostMessageW(main, WM_CLOSE, 0, 0);
    CHECK(utility.ExitCode() == 0);
}
