#include "message_box.h"

#include "app_text.h"

int ShowMessage(HWND owner, const std::wstring& text, UINT style)
{
    return MessageBoxW(owner, text.c_str(), kAppTitle, style);
}
