// VK_UTL: the VESKA Windows utility. Its start-up object is the main window.
#include "FrmMain.h"
#include "basCommon.h"
#include "com_apartment.h"

#include <commctrl.h>
#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int)
{
    // Before anything is bound: the utility runs elevated, often started
    // from a downloads folder.
    RemoveCurrentDirectoryFromDllSearch();
    RefuseJunctionsOfOrdinaryUsers();
    InitCommonControls();
    // Before any window: the folder dialog asks the shell for its icons.
    ComApartment com;
    FrmMain form(instance);
    return form.Run();
}
