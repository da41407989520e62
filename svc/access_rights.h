#pragma once

#include "runtime_library.h"
#include "tree_walk.h"

#include <windows.h>

// Adds two entries for the local group "Users" to a folder's DACL: the mask
// for the folder and its subfolders, GENERIC_ALL for the files below it;
// then passes them down to the objects below, as Windows' propagation would,
// leaving alone links and files that another name reaches. The security
// functions are bound from advapi32.dll, the file functions that open every
// object relative to its held folder from ntdll.dll, through `loader`.
// Before it writes a DACL, it keeps it in a backup in the Windows folder
// (grant_backup.h), which a restore puts back; without one (kept None) only
// to measure what keeping it costs.
enum class KeptBackup { InWindowsFolder, None };
LONG GrantUsersAccess(const LibraryLoader& loader, LPCSTR folder, DWORD accessMask,
                      KeptBackup kept = KeptBackup::InWindowsFolder);

// What a grant of a folder would do, found without writing anything.
struct GrantAudit {
    bool folderDue; // the folder's own DACL would change
    WalkCounts below;
};

// The grant's walk with nothing written: opens the folder and every object
// below it as the grant does, but without the right to change them, and
// compares each DACL with what the grant would write. kGrantDone when the
// folder was audited; otherwise the status with which a grant would stop
// before writing anything (-1, -4, -5, -6).
LONG AuditUsersAccess(const LibraryLoader& loader, LPCSTR folder, DWORD accessMask,
                      GrantAudit& audit);

// Whether `root` is the root of a local fixed drive that keeps persistent ACLs.
bool ChkAclDrive(const char* root);
