#include "backup_folder.h"

#include "relative_open.h"
#include "vksvc.h"

#include <sddl.h>

#include <algorithm>
#include <cstring>
#include <cwchar>

namespace {

const ULONG kOpenIf = 3;       // FILE_OPEN_IF
const ULONG kCreate = 2;       // FILE_CREATE
const ULONG kDeleteOnClose = 0x00001000;
const NTSTATUS kNameCollision = static_cast<NTSTATUS>(0xC0000035);
const ULONG kFileOptions = nt::kSynchronousIoNonAlert | nt::kOpenReparsePoint |
                           nt::kNonDirectoryFile;

// Only SYSTEM and the Administrators, on the folder and all it will hold;
// nothing inherited from the Windows folder.
const WCHAR kFolderDacl[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

// Rights that change a folder, what it holds, or who may.
const DWORD kChangingRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                              FILE_DELETE_CHILD | FILE_WRITE_ATTRIBUTES | DELETE | WRITE_DAC |
                              WRITE_OWNER;

// "YYYYMMDD-HHMMSS-mmm_": the time a backup's name begins with.
const size_t kTimeLength = 20;
const WCHAR kExtension[] = L".txt";

struct WellKnownSid {
    BYTE authority;
    BYTE count;
    DWORD rids[6];
};
const WellKnownSid kSystem = {5, 1, {SECURITY_LOCAL_SYSTEM_RID}};
const WellKnownSid kAdministrators = {5, 2, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS}};
const WellKnownSid kTrustedInstaller = {
    5, 6, {80, 956008885u, 3418522649u, 1831038044u, 1853292631u, 2271478464u}};
const WellKnownSid kPowerUsers = {5, 2, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_POWER_USERS}};
// Whoever makes an object below: only those who may make one get it.
const WellKnownSid kCreatorOwner = {3, 1, {SECURITY_CREATOR_OWNER_RID}};

bool Is(const SID* sid, const WellKnownSid& known)
{
    if (sid->Revision != SID_REVISION || sid->SubAuthorityCount != known.count ||
        sid->IdentifierAuthority.Value[5] != known.authority)
        return false;
    for (int i = 0; i < 5; ++i)
        if (sid->IdentifierAuthority.Value[i] != 0)
            return false;
    return std::memcmp(sid->SubAuthority, known.rids, known.count * sizeof(DWORD)) == 0;
}

ULONG SidLength(const SID* sid) { return 8 + 4 * sid->SubAuthorityCount; }

// Windows XP and Server 2003, where a Power User can make himself an
// administrator.
bool PowerUsersAreAdministrators()
{
    OSVERSIONINFOW version;
    std::memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    return GetVersionExW(&version) && version.dwMajorVersion == 5;
}

// `name` need not end at `length`: a listing's names do not.
bool IsBackupName(const WCHAR* name, size_t length)
{
    const size_t extension = std::wcslen(kExtension);
    if (length <= kTimeLength + extension ||
        _wcsnicmp(name + length - extension, kExtension, extension) != 0)
        return false;
    // One name in the folder: never a path out of it, nor a stream.
    for (size_t i = 0; i < length; ++i)
        if (name[i] == L'\\' || name[i] == L'/' || name[i] == L':')
            return false;
    for (size_t i = 0; i < kTimeLength; ++i) {
        const WCHAR expected = i == 8 || i == 15 ? L'-' : i == 19 ? L'_' : L'0';
        if (expected == L'0' ? (name[i] < L'0' || name[i] > L'9') : name[i] != expected)
            return false;
    }
    return true;
}

// The folder's path as a part of a file name: what a name cannot hold, as '_'.
void AppendFolderName(WCHAR* name, size_t room, const WCHAR* folder)
{
    size_t length = std::wcslen(name);
    for (; *folder != L'\0' && length + 1 < room; ++folder) {
        if (*folder == L':')
            continue;
        name[length++] = *folder < L' ' || std::wcschr(L"\\/*?\"<>|", *folder) ? L'_' : *folder;
    }
    name[length] = L'\0';
}


} // namespace

bool BackupFolder::IsTrusted(const SID* sid, bool asOwner) const
{
    const SID* user = reinterpret_cast<const SID*>(tokenUser_);
    return Is(sid, kSystem) || Is(sid, kAdministrators) || Is(sid, kTrustedInstaller) ||
           (user->Revision == SID_REVISION && SidLength(sid) == SidLength(user) &&
            std::memcmp(sid, user, SidLength(user)) == 0) ||
           (!asOwner && Is(sid, kCreatorOwner)) ||
           (Is(sid, kPowerUsers) && PowerUsersAreAdministrators());
}

bool BackupFolder::MayOnlyAdministratorsChange(PSECURITY_DESCRIPTOR descriptor) const
{
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (!backupApi_.getOwner(descriptor, &owner, &defaulted) || owner == nullptr ||
        !IsTrusted(static_cast<const SID*>(owner), true))
        return false;
    // No DACL, or a NULL one, lets everyone do everything.
    const PACL dacl = DaclOf(api_, descriptor);
    if (dacl == nullptr)
        return false;
    const BYTE* entry = reinterpret_cast<const BYTE*>(dacl + 1);
    for (WORD i = 0; i < dacl->AceCount; ++i) {
        const auto* allowed = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(entry);
        entry += allowed->Header.AceSize;
        if (allowed->Header.AceType == ACCESS_DENIED_ACE_TYPE)
            continue;
        // An entry of a kind that a folder does not hold is not read as harmless.
        if (allowed->Header.AceType != ACCESS_ALLOWED_ACE_TYPE)
            return false;
        if ((FileRightsOf(allowed->Mask) & kChangingRights) != 0 &&
            !IsTrusted(reinterpret_cast<const SID*>(&allowed->SidStart), false))
            return false;
    }
    return true;
}

LONG BackupFolder::Open(bool create)
{
    // Who runs this: an administrator, whose own folder it may be.
    {
        KernelHandle token;
        HANDLE handle = nullptr;
        BYTE user[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
        DWORD size = 0;
        if (backupApi_.openProcessToken(GetCurrentProcess(), TOKEN_QUERY, &handle)) {
            token.Reset(handle);
            if (backupApi_.getTokenInformation(token.Get(), TokenUser, user, sizeof user, &size)) {
                const SID* sid = static_cast<const SID*>(reinterpret_cast<TOKEN_USER*>(user)->User.Sid);
                if (SidLength(sid) <= sizeof tokenUser_)
                    std::memcpy(tokenUser_, sid, SidLength(sid));
            }
        }
    }
    WCHAR windows[MAX_PATH];
    const UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return kGrantReadFailed;
    // The Windows folder itself is the system's, and only its administrators
    // can change it.
    const KernelHandle windowsFolder(CreateFileW(windows, FILE_TRAVERSE | SYNCHRONIZE,
                                                 FILE_SHARE_READ | FILE_SHARE_WRITE |
                                                     FILE_SHARE_DELETE,
                                                 nullptr, OPEN_EXISTING,
                                                 FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!windowsFolder.IsOpen())
        return kGrantReadFailed;
    LocalMemory<PSECURITY_DESCRIPTOR> made;
    if (create && !backupApi_.fromText(kFolderDacl, SDDL_REVISION_1, made.Receive(), nullptr))
        return kGrantBackupRefused;
    // Held without FILE_SHARE_DELETE: nobody renames it meanwhile.
    const NTSTATUS status = OpenRelative(
        files_, windowsFolder.Get(), kBackupFolderName,
        READ_CONTROL | FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
        FILE_SHARE_READ | FILE_SHARE_WRITE, create ? kOpenIf : nt::kOpenExisting,
        nt::kDirectoryFile | nt::kSynchronousIoNonAlert | nt::kOpenReparsePoint |
            nt::kOpenForBackupIntent,
        made.Get(), folder_);
    if (!nt::Succeeded(status))
        return create ? kGrantBackupRefused : kGrantReadFailed;

    // A reparse point of any kind, told through the handle opened on it.
    nt::AttributeTagInformation tag;
    IO_STATUS_BLOCK io = {};
    DescriptorBuffer current;
    if (!nt::Succeeded(files_.queryInformation(folder_.Get(), &io, &tag, sizeof tag,
                                               nt::kFileAttributeTagInformation)) ||
        IsLink(tag.FileAttributes) ||
        !current.Read(api_, folder_.Get(), OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION) ||
        !MayOnlyAdministratorsChange(current.Get())) {
        folder_.Reset();
        return kGrantBackupRefused;
    }
    return kGrantDone;
}

bool BackupFolder::Create(const WCHAR* folder, SYSTEMTIME& now, KernelHandle& file,
                          WCHAR (&name)[256])
{
    // Two grants within one millisecond: the second waits for the next, so
    // that the names keep the order of the grants.
    for (int attempt = 0; attempt < 10; ++attempt) {
        GetSystemTime(&now);
        *PutTime(name, now, false) = L'_';
        name[kTimeLength] = L'\0';
        AppendFolderName(name, 200, folder);
        std::wcscat(name, kExtension);
        const NTSTATUS status = OpenRelative(files_, folder_.Get(), name,
                                             FILE_WRITE_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                             FILE_SHARE_READ, kCreate, kFileOptions, nullptr, file);
        if (status != kNameCollision)
            return nt::Succeeded(status);
        Sleep(2);
    }
    return false;
}

bool BackupFolder::OpenBackup(const WCHAR* name, KernelHandle& file)
{
    if (!IsBackupName(name, std::wcslen(name)))
        return false;
    return nt::Succeeded(OpenRelative(files_, folder_.Get(), name,
                                      FILE_READ_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                      FILE_SHARE_READ, nt::kOpenExisting, kFileOptions, nullptr,
                                      file));
}

bool BackupFolder::List(HeapBuffer& names, ULONG& count)
{
    names.Clear();
    count = 0;
    union {
        nt::DirectoryEntry first;
        BYTE bytes[16384];
    } listing;
    for (BOOLEAN restart = TRUE;; restart = FALSE) {
        IO_STATUS_BLOCK io = {};
        const NTSTATUS status =
            files_.queryDirectory(folder_.Get(), nullptr, nullptr, nullptr, &io, &listing,
                                  sizeof listing, nt::kFileDirectoryInformation, FALSE, nullptr,
                                  restart);
        if (status == nt::kNoMoreFiles)
            break;
        if (!nt::Succeeded(status))
            return false;
        for (ULONG offset = 0;;) {
            const auto* entry = reinterpret_cast<const nt::DirectoryEntry*>(listing.bytes + offset);
            const size_t length = entry->FileNameLength / sizeof(WCHAR);
            if (length < 256 && !IsFolder(entry->FileAttributes) && !IsLink(entry->FileAttributes) &&
                IsBackupName(entry->FileName, length)) {
                BackupName found = {};
                std::memcpy(found.name, entry->FileName, length * sizeof(WCHAR));
                found.size = static_cast<ULONGLONG>(entry->EndOfFile.QuadPart);
                if (!names.Append(&found, sizeof found))
                    return false;
                ++count;
            }
            if (entry->NextEntryOffset == 0)
                break;
            offset += entry->NextEntryOffset;
        }
    }
    BackupName* const first = reinterpret_cast<BackupName*>(names.Data());
    std::sort(first, first + count, [](const BackupName& one, const BackupName& other) {
        return std::wcscmp(one.name, other.name) < 0;
    });
    return true;
}

bool BackupFolder::ReadFolderOf(const WCHAR* name, BackupText& text)
{
    KernelHandle file;
    return OpenBackup(name, file) && text.ReadHeader(file.Get(), false);
}

bool BackupFolder::Remove(const WCHAR* name)
{
    KernelHandle file;
    return nt::Succeeded(OpenRelative(files_, folder_.Get(), name, DELETE | SYNCHRONIZE, 0,
                                      nt::kOpenExisting, kFileOptions | kDeleteOnClose, nullptr,
                                      file));
}

void BackupFolder::Prune(const WCHAR* folder, const WCHAR* newest)
{
    HeapBuffer list;
    ULONG count = 0;
    if (!List(list, count))
        return;
    BackupName* const names = reinterpret_cast<BackupName*>(list.Data());
    // Newest first: the folder's first kBackupsPerFolder stay.
    ULONG ofFolder = 0;
    for (ULONG i = count; i-- > 0;) {
        BackupText text;
        if (!ReadFolderOf(names[i].name, text) || lstrcmpiW(text.Folder(), folder) != 0)
            continue;
        if (++ofFolder > kBackupsPerFolder && std::wcscmp(names[i].name, newest) != 0 &&
            Remove(names[i].name))
            names[i].size = 0, names[i].name[0] = L'\0';
    }
    ULONGLONG total = 0;
    for (ULONG i = 0; i < count; ++i)
        total += names[i].size;
    for (ULONG i = 0; i < count && total > kBackupBytesInAll; ++i) {
        if (names[i].name[0] == L'\0' || std::wcscmp(names[i].name, newest) == 0)
            continue;
        if (Remove(names[i].name))
            total -= names[i].size;
    }
}
