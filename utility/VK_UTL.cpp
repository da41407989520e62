// VK_UTL: the VESKA Windows utility. Its start-up object is the main window.
#include "FrmMain.h"
#include "basCommon.h"

#include <commctrl.h>
#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int)
{
    // Before anything is bound: the utility runs elevated, often started
    // from a downloads folder.
    RemoveCurrentDirectoryFromDllSearch();
    InitCommonControls();
    FrmMain form(instance);
    return form.Run();
}
