// The history log VK_XP.log in the Windows directory: one profile section
// whose keys are the granted folders and whose values say for whom and
// whether the grant succeeded.
#pragma once

#include <windows.h>

// Success and failure label of one kind of folder.
struct GrantLabel {
    const char* success;
    const char* failure;
};

namespace labels {
extern const GrantLabel kDatabase;
extern const GrantLabel kCommonData;       // existing \VESKADAT
extern const GrantLabel kLinkedExisting;   // existing \VESKAEX
extern const GrantLabel kLinkedCreated;    // \VESKAEX created here
} // namespace labels

extern const char kHistorySection[];

// Buffer size of the Windows directory, ini paths and ini values.
const DWORD kPathBuffer = 256;

// Fills `logPath` (kPathBuffer bytes) with the Windows directory and "\VK_XP.log".
// False, with `logPath` empty, when that path is too long for the buffer:
// cut short, it would name another file.
bool FormLogPath(char* logPath);

class WindowsFiles;

// Records the outcome of one grant in the log of `files`' folder: the
// success label for status 0, nothing for a folder that is not on a fixed
// drive with ACLs, the failure label for every other status. kFileUsable
// when recorded or nothing was to be; otherwise why the log could not be
// written, which makes the folder's grant a failure for whoever reports it.
long RecordGrant(WindowsFiles& files, const char* folder, const GrantLabel& label, LONG status);
