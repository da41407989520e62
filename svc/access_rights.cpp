#include "access_rights.h"

#include "held_path.h"
#include "vksvc.h"

#include <aclapi.h>

#include <cstring>

namespace {

using GetSecurityInfoFn = DWORD(WINAPI*)(HANDLE, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID*,
                                         PSID*, PACL*, PACL*, PSECURITY_DESCRIPTOR*);
using BuildExplicitAccessFn = VOID(WINAPI*)(PEXPLICIT_ACCESS_A, LPSTR, DWORD, ACCESS_MODE,
                                            DWORD);
using SetEntriesInAclFn = DWORD(WINAPI*)(ULONG, PEXPLICIT_ACCESS_A, PACL, PACL*);
using SetSecurityInfoFn = DWORD(WINAPI*)(HANDLE, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID,
                                         PSID, PACL, PACL);

char kUsers[] = "Users";
const DWORD kPersistentAcls = FILE_PERSISTENT_ACLS;
const DWORD kFolderAndSubfolders = CONTAINER_INHERIT_ACE;
const DWORD kFilesOnly = OBJECT_INHERIT_ACE | INHERIT_ONLY_ACE;

// Memory that the security functions allocate for their caller.
class LocalMemory {
public:
    LocalMemory() = default;
    ~LocalMemory() { LocalFree(block_); }
    LocalMemory(const LocalMemory&) = delete;
    LocalMemory& operator=(const LocalMemory&) = delete;

    template <typename T>
    T** Receive() { return reinterpret_cast<T**>(&block_); }
    template <typename T>
    T* As() const { return static_cast<T*>(block_); }

private:
    void* block_ = nullptr;
};

// The four functions, each looked up at its first use, in the order the
// grant needs them, so a missing one is noticed only when it is due.
class SecurityApi {
public:
    explicit SecurityApi(const LoadedLibrary& advapi) : advapi_(advapi) {}

    GetSecurityInfoFn GetSecurityInfo() { return Bind(getInfo_, "GetSecurityInfo"); }
    BuildExplicitAccessFn BuildExplicitAccess()
    {
        return Bind(build_, "BuildExplicitAccessWithNameA");
    }
    SetEntriesInAclFn SetEntriesInAcl() { return Bind(merge_, "SetEntriesInAclA"); }
    SetSecurityInfoFn SetSecurityInfo() { return Bind(setInfo_, "SetSecurityInfo"); }

private:
    template <typename Fn>
    Fn Bind(Fn& slot, LPCSTR name)
    {
        if (slot == nullptr)
            slot = advapi_.Function<Fn>(name);
        return slot;
    }

    const LoadedLibrary& advapi_;
    GetSecurityInfoFn getInfo_ = nullptr;
    BuildExplicitAccessFn build_ = nullptr;
    SetEntriesInAclFn merge_ = nullptr;
    SetSecurityInfoFn setInfo_ = nullptr;
};

// One read-merge-write pass: merges one "Users" entry into the DACL of the
// held folder. Written through its handle, the inheritable entries reach
// the folders and files below it as they would through its name.
LONG MergeUsersEntry(SecurityApi& api, HANDLE folder, DWORD permissions, DWORD inheritance)
{
    GetSecurityInfoFn getInfo = api.GetSecurityInfo();
    if (getInfo == nullptr)
        return kGrantApiMissing;
    PACL currentDacl = nullptr;
    LocalMemory descriptor;
    if (getInfo(folder, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                &currentDacl, nullptr, descriptor.Receive<void>()) != ERROR_SUCCESS)
        return kGrantReadFailed;

    BuildExplicitAccessFn build = api.BuildExplicitAccess();
    if (build == nullptr)
        return kGrantApiMissing;
    EXPLICIT_ACCESS_A entry;
    std::memset(&entry, 0, sizeof entry);
    build(&entry, kUsers, permissions, GRANT_ACCESS, inheritance);

    SetEntriesInAclFn merge = api.SetEntriesInAcl();
    if (merge == nullptr)
        return kGrantApiMissing;
    LocalMemory mergedDacl;
    if (merge(1, &entry, currentDacl, mergedDacl.Receive<ACL>()) != ERROR_SUCCESS)
        return kGrantMergeFailed;

    SetSecurityInfoFn setInfo = api.SetSecurityInfo();
    if (setInfo == nullptr)
        return kGrantApiMissing;
    if (setInfo(folder, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                mergedDacl.As<ACL>(), nullptr) != ERROR_SUCCESS)
        return kGrantWriteFailed;
    return kGrantDone;
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

LONG GrantUsersAccess(const LibraryLoader& loader, LPCSTR folder, DWORD accessMask)
{
    LoadedLibrary advapi(loader, "advapi32.dll");
    if (!advapi.IsLoaded())
        return kGrantApiMissing;

    char root[6] = {};
    std::strncpy(root, folder, 3);
    if (!ChkAclDrive(root))
        return kGrantNotFixedAclDrive;

    // The object checked is the object changed: both passes go through the
    // one handle, whatever becomes of the names meanwhile.
    HeldPath held;
    LONG status = held.Open(folder);
    if (status != kGrantDone)
        return status;
    SecurityApi api(advapi);
    status = MergeUsersEntry(api, held.Object(), accessMask, kFolderAndSubfolders);
    if (status != kGrantDone)
        return status;
    if (!held.IsStillUnlinked())
        return kGrantLinkRefused;
    // Files always get full control, whatever the folders were given.
    return MergeUsersEntry(api, held.Object(), GENERIC_ALL, kFilesOnly);
}

LONG WINAPI AddAccessRights(LPCSTR folder, DWORD accessMask)
{
    return GrantUsersAccess(SystemLoader(), folder, accessMask);
}

LONG WINAPI AddAccessRights_FULL(LPCSTR folder)
{
    return AddAccessRights(folder, GENERIC_ALL);
}
