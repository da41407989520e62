#include "access_rights.h"

#include "grant_backup.h"
#include "held_path.h"
#include "security_api.h"
#include "tree_walk.h"
#include "vksvc.h"

#include <cstring>

namespace {

char kUsers[] = "Users";
const DWORD kPersistentAcls = FILE_PERSISTENT_ACLS;
const DWORD kFolderAndSubfolders = CONTAINER_INHERIT_ACE;
const DWORD kFilesOnly = OBJECT_INHERIT_ACE | INHERIT_ONLY_ACE;
// The control flags that say how the DACL stands to its parent's; the
// kernel takes them from the descriptor written, so they are passed on.
const SECURITY_DESCRIPTOR_CONTROL kInheritanceControl = SE_DACL_AUTO_INHERITED | SE_DACL_PROTECTED;

// A list that SetEntriesInAcl allocated for its caller.
class LocalAcl {
public:
    LocalAcl() = default;
    ~LocalAcl() { LocalFree(acl_); }
    LocalAcl(const LocalAcl&) = delete;
    LocalAcl& operator=(const LocalAcl&) = delete;

    PACL* Receive() { return &acl_; }
    PACL Get() const { return acl_; }

private:
    PACL acl_ = nullptr;
};

// The named object's descriptor as last written: its merged DACL and the
// control flags it had. What the objects below inherit is computed from it.
struct WrittenDescriptor {
    LocalAcl dacl;
    SECURITY_DESCRIPTOR descriptor;
};

// Merges one "Users" entry into the DACL of `current` and builds the
// descriptor that would be written: the merged DACL with the control flags
// that `current` had.
LONG MergeInMemory(const SecurityApi& api, PSECURITY_DESCRIPTOR current, DWORD permissions,
                   DWORD inheritance, WrittenDescriptor& written)
{
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL currentDacl = nullptr;
    if (!api.getSecurityDescriptorControl(current, &control, &revision) ||
        !api.getSecurityDescriptorDacl(current, &present, &currentDacl, &defaulted))
        return kGrantReadFailed;

    EXPLICIT_ACCESS_A entry;
    std::memset(&entry, 0, sizeof entry);
    api.buildExplicitAccess(&entry, kUsers, permissions, GRANT_ACCESS, inheritance);
    if (api.setEntriesInAcl(1, &entry, present ? currentDacl : nullptr,
                            written.dacl.Receive()) != ERROR_SUCCESS ||
        written.dacl.Get() == nullptr)
        return kGrantMergeFailed;

    PSECURITY_DESCRIPTOR descriptor = &written.descriptor;
    if (!api.initializeSecurityDescriptor(descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !api.setSecurityDescriptorDacl(descriptor, TRUE, written.dacl.Get(), FALSE) ||
        !api.setSecurityDescriptorControl(descriptor, kInheritanceControl,
                                          control & kInheritanceControl))
        return kGrantWriteFailed;
    return kGrantDone;
}

// Whether `sid` is the local group Users, S-1-5-32-545: the SID that the
// name "Users" gives.
bool IsUsers(const SID* sid)
{
    const SID_IDENTIFIER_AUTHORITY kNtAuthority = SECURITY_NT_AUTHORITY;
    return sid->Revision == SID_REVISION && sid->SubAuthorityCount == 2 &&
           std::memcmp(&sid->IdentifierAuthority, &kNtAuthority, sizeof kNtAuthority) == 0 &&
           sid->SubAuthority[0] == SECURITY_BUILTIN_DOMAIN_RID &&
           sid->SubAuthority[1] == DOMAIN_ALIAS_RID_USERS;
}

// Whether `dacl` has an explicit entry that allows Users at least `rights`
// with exactly `inheritance`, generic rights read as the file rights they
// stand for.
bool AllowsUsers(PACL dacl, DWORD rights, DWORD inheritance)
{
    const BYTE* entry = reinterpret_cast<const BYTE*>(dacl + 1);
    for (WORD i = 0; i < dacl->AceCount; ++i) {
        const auto* allowed = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(entry);
        entry += allowed->Header.AceSize;
        if (allowed->Header.AceType == ACCESS_ALLOWED_ACE_TYPE &&
            (allowed->Header.AceFlags & (VALID_INHERIT_FLAGS | INHERITED_ACE)) == inheritance &&
            IsUsers(reinterpret_cast<const SID*>(&allowed->SidStart)) &&
            (FileRightsOf(allowed->Mask) & FileRightsOf(rights)) == FileRightsOf(rights))
            return true;
    }
    return false;
}

// Whether the grant would leave the DACL as it is: it already holds both
// entries. Windows' merge combines an entry with the trustee's entry of the
// same inheritance, so it then changes nothing; whether the kernel keeps
// GENERIC_ALL as written or as the file rights it stands for, this holds.
bool HoldsUsersEntries(PACL dacl, DWORD accessMask)
{
    return dacl != nullptr && AllowsUsers(dacl, accessMask, kFolderAndSubfolders) &&
           AllowsUsers(dacl, GENERIC_ALL, kFilesOnly);
}

// One read-merge-write pass: merges one "Users" entry into the DACL of the
// held object and writes the DACL alone through its handle, with a call that
// passes nothing on to the objects below. With `backup`, the DACL read is
// kept there and on the disk before anything is written.
LONG MergeUsersEntry(const SecurityApi& api, const FileApi& files, HANDLE object,
                     DWORD permissions, DWORD inheritance, WrittenDescriptor& written,
                     GrantBackup* backup = nullptr)
{
    DescriptorBuffer current;
    if (!current.Read(api, object, DACL_SECURITY_INFORMATION))
        return kGrantReadFailed;
    const LONG status = MergeInMemory(api, current.Get(), permissions, inheritance, written);
    if (status != kGrantDone)
        return status;
    ObjectId id;
    if (backup != nullptr &&
        (!ObjectIdOf(files, object, id) ||
         !backup->Keep(kFolderItself, 1, id, current.Get()) || !backup->Flush()))
        return kGrantBackupRefused;
    return api.setObjectSecurity(object, DACL_SECURITY_INFORMATION, &written.descriptor)
               ? kGrantDone
               : kGrantWriteFailed;
}

// Only "X:\" names a volume root in three characters. Windows refuses "C:"
// as a root on its own; checking the form here keeps that answer on
// platforms that are laxer about it.
bool LooksLikeDriveRoot(const char* root)
{
    return root[0] != '\0' && root[1] == ':' && root[2] == '\\' && root[3] == '\0';
}

} // namespace

bool ChkAclDrive(const char* root)
{
    if (!LooksLikeDriveRoot(root))
        return false;
    DWORD flags = 0;
    if (!GetVolumeInformationA(root, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0))
        return false;
    return (flags & kPersistentAcls) != 0 && GetDriveTypeA(root) == DRIVE_FIXED;
}

namespace {

// What the grant and its audit share: the libraries bound, the drive
// checked and the folder held; then `work`(api, files, held).
template <typename Work>
LONG WithHeldFolder(const LibraryLoader& loader, LPCSTR folder, ACCESS_MASK objectRights,
                    Work&& work)
{
    LoadedLibrary advapi(loader, "advapi32.dll");
    if (!advapi.IsLoaded())
        return kGrantApiMissing;

    char root[6] = {};
    std::strncpy(root, folder, 3);
    if (!ChkAclDrive(root))
        return kGrantNotFixedAclDrive;

    SecurityApi api;
    LoadedLibrary ntdll(loader, "ntdll.dll");
    FileApi files;
    BackupApi backupApi;
    if (!api.Bind(advapi) || !ntdll.IsLoaded() || !files.Bind(ntdll) ||
        !backupApi.Bind(advapi, ntdll))
        return kGrantApiMissing;

    // The object checked is the object changed: every step goes through
    // the one handle, whatever becomes of the names meanwhile.
    HeldPath held;
    const LONG status = held.Open(files, folder, objectRights);
    return status != kGrantDone ? status : work(api, files, backupApi, held);
}

} // namespace

LONG GrantUsersAccess(const LibraryLoader& loader, LPCSTR folder, DWORD accessMask,
                      KeptBackup kept)
{
    return WithHeldFolder(loader, folder, kObjectRights,
                          [&](const SecurityApi& api, const FileApi& files,
                              const BackupApi& backupApi, const HeldPath& held) {
        // Before anything is written: a grant whose DACLs cannot be kept
        // writes none.
        GrantBackup backup(api, backupApi, files);
        GrantBackup* const keeping = kept == KeptBackup::InWindowsFolder ? &backup : nullptr;
        if (keeping != nullptr) {
            const LONG started = backup.Start(folder);
            if (started != kGrantDone)
                return started;
        }
        WrittenDescriptor folderPass;
        LONG status = MergeUsersEntry(api, files, held.Object(), accessMask,
                                      kFolderAndSubfolders, folderPass, keeping);
        if (status != kGrantDone)
            return status;
        if (!held.IsStillUnlinked(files))
            return LONG(kGrantLinkRefused);
        // Files always get full control, whatever the folders were given.
        WrittenDescriptor filePass;
        status = MergeUsersEntry(api, files, held.Object(), GENERIC_ALL, kFilesOnly, filePass);
        if (status != kGrantDone)
            return status;
        return held.IsFolder() ? PassDownBelow(api, files, held.Object(), &filePass.descriptor,
                                               keeping)
                               : LONG(kGrantDone);
    });
}

LONG AuditUsersAccess(const LibraryLoader& loader, LPCSTR folder, DWORD accessMask,
                      GrantAudit& audit)
{
    audit = GrantAudit();
    return WithHeldFolder(loader, folder, kAuditRights,
                          [&](const SecurityApi& api, const FileApi& files, const BackupApi&,
                              const HeldPath& held) {
        // Both passes merged in memory, the second onto the first's result,
        // as the grant reads back what it wrote.
        DescriptorBuffer current;
        if (!current.Read(api, held.Object(), DACL_SECURITY_INFORMATION))
            return LONG(kGrantReadFailed);
        WrittenDescriptor folderPass;
        WrittenDescriptor filePass;
        LONG status = MergeInMemory(api, current.Get(), accessMask, kFolderAndSubfolders,
                                    folderPass);
        if (status == kGrantDone)
            status = MergeInMemory(api, &folderPass.descriptor, GENERIC_ALL, kFilesOnly, filePass);
        if (status != kGrantDone)
            return status;
        audit.folderDue = !HoldsUsersEntries(DaclOf(api, current.Get()), accessMask);
        // Below, what the folder would pass down: its DACL as it is when a
        // grant would leave it so.
        if (held.IsFolder())
            AuditBelow(api, files, held.Object(),
                       audit.folderDue ? &filePass.descriptor : current.Get(), audit.below);
        return LONG(kGrantDone);
    });
}

LONG WINAPI AddAccessRights(LPCSTR folder, DWORD accessMask)
{
    return GrantUsersAccess(SystemLoader(), folder, accessMask);
}

LONG WINAPI AddAccessRights_FULL(LPCSTR folder)
{
    return AddAccessRights(folder, GENERIC_ALL);
}
