#include "previous_instance.h"

#include "basCommon.h"

#include <windows.h>

#include <string>

namespace {

// "Local\" is one per terminal session, and a copy started with runas on
// the same desktop shares it: the logon session in the name keeps such a
// copy out, for the other-user gate to refuse.
const wchar_t kMarkerName[] = L"Local\\VK_UTL.RunningInThisLogon";

std::wstring MarkerName()
{
    const std::wstring logon = LogonSessionId();
    // A token that cannot be read leaves the session-wide name: a copy
    // under another logon may then be told that one already runs, but no
    // second copy in this logon gets past.
    return logon.empty() ? kMarkerName : std::wstring(kMarkerName) + L"." + logon;
}

} // namespace

bool AnotherCopyRunsInThisLogon()
{
    // Held, never closed, for the life of the process.
    HANDLE marker = CreateMutexW(nullptr, FALSE, MarkerName().c_str());
    // A marker that cannot be made at all refuses nobody.
    return marker != nullptr && GetLastError() == ERROR_ALREADY_EXISTS;
}
