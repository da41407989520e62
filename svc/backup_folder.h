// The folder of the backups of DACLs: VK_DACL in the Windows folder, beside
// VK_XP.log, made with a protected DACL that lets only SYSTEM and the
// Administrators change it. A restore writes back whatever a backup there
// says, as an administrator: a folder that someone else could have made or
// may change is refused, before a grant writes anything and before a restore
// reads anything.
#pragma once

#include "backup_api.h"
#include "backup_format.h"
#include "kernel_handle.h"
#include "nt_file_api.h"
#include "security_api.h"

const WCHAR kBackupFolderName[] = L"VK_DACL";
// What is kept: so many backups of each folder, and so much in all; the
// oldest go first.
const ULONG kBackupsPerFolder = 20;
const ULONGLONG kBackupBytesInAll = 500ULL * 1024 * 1024;

// One backup in the folder.
struct BackupName {
    WCHAR name[256];
    ULONGLONG size;
};

class BackupFolder {
public:
    BackupFolder(const SecurityApi& api, const BackupApi& backupApi, const FileApi& files)
        : api_(api), backupApi_(backupApi), files_(files) {}
    BackupFolder(const BackupFolder&) = delete;
    BackupFolder& operator=(const BackupFolder&) = delete;

    // Opens the folder relative to the Windows folder's handle, and makes it
    // when missing with `create`. kGrantDone; kGrantBackupRefused when it is
    // a link, is owned by another than the Administrators, SYSTEM,
    // TrustedInstaller or the administrator who runs this, or lets anyone
    // else change it (on XP and Server 2003 the Power Users count as
    // administrators: they can make themselves one); kGrantReadFailed when
    // it is missing or cannot be opened.
    LONG Open(bool create);
    HANDLE Get() const { return folder_.Get(); }

    // A new, empty backup of `folder` (as the grant names it), named by the
    // time now (given in `now`) and the folder; its name in `name`.
    bool Create(const WCHAR* folder, SYSTEMTIME& now, KernelHandle& file, WCHAR (&name)[256]);
    // A backup of the folder by its name, for reading.
    bool OpenBackup(const WCHAR* name, KernelHandle& file);

    // The backups, oldest first (their names begin with the time); false
    // when the folder cannot be listed or there is no room.
    bool List(HeapBuffer& names, ULONG& count);

    // Removes the oldest backups beyond what is kept: of `folder` beyond
    // kBackupsPerFolder, then of any folder while all of them together
    // exceed kBackupBytesInAll. `newest` stays, whatever its size.
    void Prune(const WCHAR* folder, const WCHAR* newest);

private:
    bool IsTrusted(const SID* sid, bool asOwner) const;
    bool MayOnlyAdministratorsChange(PSECURITY_DESCRIPTOR descriptor) const;
    bool ReadFolderOf(const WCHAR* name, BackupText& text);
    bool Remove(const WCHAR* name);

    const SecurityApi& api_;
    const BackupApi& backupApi_;
    const FileApi& files_;
    KernelHandle folder_;
    BYTE tokenUser_[SECURITY_MAX_SID_SIZE] = {};
};
