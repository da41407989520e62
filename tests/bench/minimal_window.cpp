// The smallest Win32 window program, built like VK_UTL.exe: the baseline
// for its start-up time. Built a second time with the utility's manifest
// (MINIMAL_WITH_COMMON_CONTROLS): the same window where Windows binds the
// common controls 6 for visual styles, the part of the start-up that any
// program with styled controls pays.
#include <windows.h>
#ifdef MINIMAL_WITH_COMMON_CONTROLS
#include <commctrl.h>
#endif

namespace {
LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int)
{
#ifdef MINIMAL_WITH_COMMON_CONTROLS
    InitCommonControls();
#endif
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = L"MinimalWindow";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowW(L"MinimalWindow", L"Minimal", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 610, 480, nullptr, nullptr, instance, nullptr);
    ShowWindow(window, SW_SHOWNORMAL);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
