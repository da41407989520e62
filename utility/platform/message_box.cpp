#include "message_box.h"

#include "focus_memory.h"

int ShowMessage(HWND owner, const std::wstring& text, UINT style)
{
    // The box disables its owner, which loses its focus: it gets it back
    // when the box is gone.
    if (owner != nullptr)
        SaveFocus(owner);
    return MessageBoxW(owner, text.c_str(), kAppTitle, style);
}
