// A VKSVC.dll that lacks every export but DoIExist, as an incomplete or
// foreign copy of the library would. Its DoIExist answers 7, which the real
// one never does, so a test can tell which copy was bound.
#include <windows.h>

extern "C" LONG WINAPI DoIExist(LPCSTR)
{
    return 7;
}
