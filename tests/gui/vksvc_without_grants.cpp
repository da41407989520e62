// A VKSVC.dll through whose start-up calls the utility passes (Windows XP,
// no other copy running, the applications' folders found) but that lacks
// SetVeskaFolder and AddAccessRights, as an old or foreign copy might.
#include <windows.h>

extern "C" LONG WINAPI bIsWindowsVersionOK(DWORD, DWORD, DWORD majorNt, DWORD, DWORD)
{
    return majorNt <= 5 ? 1 : 0;
}

extern "C" LONG WINAPI DoIExist(LPCSTR)
{
    return 0;
}

extern "C" LONG WINAPI CheckVeskaFolder()
{
    return 1;
}
