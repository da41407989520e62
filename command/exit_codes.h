// The exit codes of VK_CMD.exe, which the deployment tools read: a script,
// Intune or Configuration Manager tells from them what happened.
#pragma once

#include <windows.h>

enum ExitCode : int {
    kExitDone = 0,         // done, nothing failed; for /check, nothing to do
    kExitFailedOrDue = 1,  // a folder failed; for /check, a grant is due
    kExitRefused = 2,      // not an administrator, another copy running, Windows 2000
    kExitRunTimeError = 3, // VKSVC.dll or an export missing, or another run-time error
    kExitWouldLeave = 6,   // /check: a grant would leave something, or fail
    kExitUsage = ERROR_INVALID_PARAMETER,
    kExitRestartNeeded = ERROR_SUCCESS_REBOOT_REQUIRED,
};
