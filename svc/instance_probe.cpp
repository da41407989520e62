#include "vksvc.h"

LONG WINAPI DoIExist(LPCSTR mutexName)
{
    HANDLE mutex = CreateMutexA(nullptr, FALSE, mutexName);
    if (mutex == nullptr)
        return 1; // another user's object we may not open counts as a holder
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return 1;
    }
    // Deliberately never closed: the mutex marks this process as running
    // until it ends.
    return 0;
}
