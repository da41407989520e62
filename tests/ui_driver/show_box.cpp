// Shows one message box for the ui_driver's own tests and exits with the ID
// of the button that closed it:
//   ui_driver_show_box STYLE
// STYLE is MessageBoxW's style (decimal or 0x...). The title is the current
// folder; the text is the environment variable VK_BOX_TEXT.
#include <windows.h>

#include <cwchar>
#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR arguments, int)
{
    const UINT style = static_cast<UINT>(std::wcstoul(arguments, nullptr, 0));
    wchar_t folder[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, folder);
    std::wstring text(1024, L'\0');
    text.resize(GetEnvironmentVariableW(L"VK_BOX_TEXT", &text[0], 1024));
    return MessageBoxW(nullptr, text.c_str(), folder, style);
}
