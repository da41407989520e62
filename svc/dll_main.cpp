#include <windows.h>

// The library keeps no state that would need setting up or tearing down.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
