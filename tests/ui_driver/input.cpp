#include "ui_driver.h"

namespace vkui {
namespace {

// Windows Vista and later; Wine has it.
using SetProcessDpiAware = BOOL(WINAPI*)();

INPUT Key(WORD virtualKey, DWORD flags)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.dwFlags = flags;
    return input;
}

void PumpMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&message);
}

} // namespace

void BecomeDpiAware()
{
    const auto becomeAware = reinterpret_cast<SetProcessDpiAware>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDPIAware")));
    if (becomeAware != nullptr)
        becomeAware();
}

HWND FocusedControl(HWND window)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info))
        return nullptr;
    return info.hwndFocus;
}

bool ShowsFocusRectangle(HWND control)
{
    DWORD_PTR state = 0;
    if (!SendMessageTimeoutW(control, WM_QUERYUISTATE, 0, 0, SMTO_ABORTIFHUNG, 2000, &state))
        return false;
    return (state & UISF_HIDEFOCUS) == 0;
}

HWND ForegroundWindow() { return GetForegroundWindow(); }

HWND Owner(HWND window) { return GetWindow(window, GW_OWNER); }

void PressKey(WORD virtualKey)
{
    INPUT keys[] = {Key(virtualKey, 0), Key(virtualKey, KEYEVENTF_KEYUP)};
    SendInput(2, keys, sizeof keys[0]);
}

void SwitchAwayAndBack(HWND window)
{
    HWND other = CreateWindowExW(0, L"STATIC", L"other program", WS_POPUP | WS_VISIBLE, 0, 0, 50,
                                 50, nullptr, nullptr, nullptr, nullptr);
    SetForegroundWindow(other);
    WaitUntil([&] {
        PumpMessages();
        return GetForegroundWindow() == other;
    });
    SetForegroundWindow(window);
    WaitUntil([&] {
        PumpMessages();
        return GetForegroundWindow() == window;
    });
    DestroyWindow(other);
    PumpMessages();
}

} // namespace vkui
