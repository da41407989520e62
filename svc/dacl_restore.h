// Puts back the DACLs that a grant's backup kept, with the grant's own way
// through the tree: the named folder held from the drive's root, every
// object opened by one name relative to its held folder, links never
// followed. An object is written only when it is the one that was saved:
// the same path below the folder and the same file ID.
#pragma once

#include "runtime_library.h"

#include <windows.h>

// What a restore did.
struct RestoreCounts {
    long restored; // saved objects given their saved DACL and control bits again
    long added;    // objects made after the grant: given what their restored parent
                   // passes down, as the grant computes it
    long left;     // saved paths that now hold another object or a link: not written
    long failed;   // objects that could not be opened, identified, read, computed or written
    long missing;  // saved objects no longer there
};

// Restores the backup of that name in the backup folder, the named folder
// first, then top down. kGrantDone with the counts; kGrantReadFailed when
// the backup or its folder is missing or cannot be read; kGrantLinkRefused
// when the folder is now a link or another object (nothing written);
// kGrantBackupRefused when the backup folder may have been changed by
// someone else than an administrator, or the file is no backup;
// kGrantApiMissing.
LONG RestoreBackup(const LibraryLoader& loader, const WCHAR* name, RestoreCounts& counts);

// One backup, as a listing shows it.
struct BackupSummary {
    const WCHAR* name;
    const WCHAR* folder;
    const WCHAR* time; // as written, in UTC
    ULONG objects; // counted only in a listing of every folder's
};

class BackupVisitor {
public:
    virtual void Backup(const BackupSummary& backup) = 0;

protected:
    ~BackupVisitor() = default;
};

// The backups, newest first; with `folder`, only that folder's (letter case
// aside). Statuses as RestoreBackup's for the backup folder.
LONG ListBackups(const LibraryLoader& loader, const WCHAR* folder, BackupVisitor& visitor);
