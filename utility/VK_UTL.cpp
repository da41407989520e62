// VK_UTL: the VESKA Windows utility. Its start-up object is the main window.
#include "FrmMain.h"

#include <commctrl.h>
#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int)
{
    InitCommonControls();
    FrmMain form(instance);
    return form.Run();
}
