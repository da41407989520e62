#include "busy_button.h"

#include "focus_memory.h"

DisabledWhileRunning::DisabledWhileRunning(HWND button)
    : button_(button), hadFocus_(GetFocus() == button)
{
    if (hadFocus_)
        RememberFocus(GetAncestor(button_, GA_ROOT), button_);
    EnableWindow(button_, FALSE);
}

DisabledWhileRunning::~DisabledWhileRunning()
{
    EnableWindow(button_, TRUE);
    if (hadFocus_)
        GiveFocusBack(button_);
}
