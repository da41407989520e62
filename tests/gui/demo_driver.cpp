// Drives a running VK_UTL.exe through what the demo and the guide show, and
// saves a picture of each step as a BMP file:
//   demo_driver FOLDER main            the main window            -> main.bmp
//   demo_driver FOLDER grant-history   the grant, then the history -> history.bmp
//   demo_driver FOLDER dialog NAME     the folder dialog with C:\NAME opened,
//                                      the dialog's window alone   -> dialog.bmp
// The utility must already run; the driver leaves it running.
#include "FrmMain_ids.h"
#include "FrmOption_ids.h"
#include "ui_driver.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

HWND Control(HWND window, int id) { return vkui::FindControl(window, id); }

HWND WaitForClass(const wchar_t* className, DWORD milliseconds = 20000)
{
    for (DWORD waited = 0; waited < milliseconds; waited += 50) {
        HWND window = FindWindowW(className, nullptr);
        if (window != nullptr && IsWindowVisible(window))
            return window;
        Sleep(50);
    }
    return nullptr;
}

// Lets the windows paint before the picture is taken.
void Settle() { Sleep(800); }

// Saves the screen inside `area` as a 24-bit BMP file.
bool SaveScreen(const RECT& area, const std::wstring& path)
{
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    GdiFlush();
    const DWORD stride = ((width * 3 + 3) / 4) * 4;
    const DWORD imageSize = stride * height;
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + imageSize;
    info.bmiHeader.biSizeImage = imageSize;
    bool saved = false;
    HANDLE out = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (out != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        saved = WriteFile(out, &file, sizeof file, &written, nullptr) &&
                WriteFile(out, &info.bmiHeader, sizeof info.bmiHeader, &written, nullptr) &&
                WriteFile(out, bits, imageSize, &written, nullptr);
        CloseHandle(out);
    }
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return saved;
}

RECT WindowArea(HWND window)
{
    RECT area;
    GetWindowRect(window, &area);
    return area;
}

RECT Around(const std::vector<HWND>& windows)
{
    RECT all = {};
    for (HWND window : windows) {
        RECT r;
        GetWindowRect(window, &r);
        if (IsRectEmpty(&all))
            all = r;
        else
            UnionRect(&all, &all, &r);
    }
    InflateRect(&all, 8, 8);
    return all;
}

HWND WaitForBox(DWORD milliseconds = 20000)
{
    return WaitForClass(vkui::kDialogClass, milliseconds);
}

void Answer(HWND box)
{
    vkui::PressButton(box, IDOK);
    for (int i = 0; i < 200 && IsWindow(box); ++i)
        Sleep(10);
}

int Fail(const char* what)
{
    std::printf("demo_driver: %s\n", what);
    return 1;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3)
        return Fail("usage: demo_driver FOLDER main|grant-history|dialog NAME");
    vkui::BecomeDpiAware(); // the windows' own pixels at any DPI
    const std::wstring folder = argv[1];
    const std::wstring step = argv[2];
    HWND main = WaitForClass(VK_UTL_MAIN_CLASS);
    if (main == nullptr)
        return Fail("the main window did not show");
    Settle();

    if (step == L"main")
        return SaveScreen(Around({main}), folder + L"\\main.bmp") ? 0 : Fail("cannot save");

    if (step == L"grant-history") {
        PostMessageW(Control(main, kCmdVESKA), BM_CLICK, 0, 0);
        HWND done = WaitForBox();
        if (done == nullptr)
            return Fail("no box after the grant");
        Answer(done);
        PostMessageW(Control(main, kCmdView), BM_CLICK, 0, 0);
        HWND history = WaitForBox();
        if (history == nullptr)
            return Fail("no history box");
        Settle();
        const bool saved = SaveScreen(Around({main, history}), folder + L"\\history.bmp");
        Answer(history);
        return saved ? 0 : Fail("cannot save");
    }

    if (step == L"dialog" && argc > 3) {
        PostMessageW(Control(main, kCmdAdd), BM_CLICK, 0, 0);
        HWND dialog = WaitForClass(VK_UTL_OPTION_CLASS);
        if (dialog == nullptr)
            return Fail("the folder dialog did not show");
        HWND list = Control(dialog, kDir1);
        const LRESULT index = SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                           reinterpret_cast<LPARAM>(argv[3]));
        SendMessageW(list, LB_SETCURSEL, index, 0);
        SendMessageW(GetParent(list), WM_COMMAND, MAKEWPARAM(kDir1, LBN_DBLCLK),
                     reinterpret_cast<LPARAM>(list));
        Settle();
        return SaveScreen(WindowArea(dialog), folder + L"\\dialog.bmp") ? 0 : Fail("cannot save");
    }
    return Fail("unknown step");
}
