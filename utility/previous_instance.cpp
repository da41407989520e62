#include "previous_instance.h"

#include <windows.h>

namespace {
// "Local\" keeps the marker inside the logon session.
const wchar_t kMarkerName[] = L"Local\\VK_UTL.RunningInThisLogon";
} // namespace

bool AnotherCopyRunsInThisLogon()
{
    // Held, never closed, for the life of the process.
    HANDLE marker = CreateMutexW(nullptr, FALSE, kMarkerName);
    // A marker that cannot be made at all refuses nobody.
    return marker != nullptr && GetLastError() == ERROR_ALREADY_EXISTS;
}
