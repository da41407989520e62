#include "windows_files.h"

#include "ansi_text.h"
#include "history_log.h"
#include "relative_open.h"

#include <cstring>

namespace {

const NTSTATUS kAccessDenied = static_cast<NTSTATUS>(0xC0000022);
const NTSTATUS kSharingViolation = static_cast<NTSTATUS>(0xC0000043);
const NTSTATUS kFileLockConflict = static_cast<NTSTATUS>(0xC0000054);
const NTSTATUS kLockNotGranted = static_cast<NTSTATUS>(0xC0000055);

const ULONG kOpenIf = 3; // FILE_OPEN_IF
// A file, synchronous, and an open that would wait for an oplock's holder
// completes at once instead.
const ULONG kFileOptions =
    nt::kNonDirectoryFile | nt::kSynchronousIoNonAlert | nt::kCompleteIfOplocked;
const ACCESS_MASK kReadRights = FILE_READ_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
const ACCESS_MASK kWriteRights = kReadRights | FILE_WRITE_DATA;
// Another program may read and write an ini file as we read it; none may
// write the log between our read and our write.
const ULONG kReadSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
const ULONG kWriteSharing = FILE_SHARE_READ;
// Between two tries of an open whose oplock is breaking.
const DWORD kBreakPause = 50;
// Far above any ini file or log that the tool meets.
const DWORD kLargestFile = 16 * 1024 * 1024;

long FailureOfOpen(NTSTATUS status)
{
    switch (status) {
    case nt::kObjectNameNotFound:
    case nt::kObjectPathNotFound:
    case nt::kNoSuchFile:
        return kFileAbsent;
    case kSharingViolation:
        return kFileShared;
    case kFileLockConflict:
    case kLockNotGranted:
        return kFileLocked;
    case kAccessDenied:
        return kFileDenied;
    default:
        return kFileFailed;
    }
}

long FailureOfError(DWORD error)
{
    return error == ERROR_LOCK_VIOLATION ? kFileLocked : kFileFailed;
}

// A block of the process heap that goes with its owner.
class Bytes {
public:
    explicit Bytes(DWORD size) : size_(size), data_(HeapAlloc(GetProcessHeap(), 0, size + 1)) {}
    ~Bytes()
    {
        if (data_ != nullptr)
            HeapFree(GetProcessHeap(), 0, data_);
    }
    Bytes(const Bytes&) = delete;
    Bytes& operator=(const Bytes&) = delete;

    bool IsAllocated() const { return data_ != nullptr; }
    void* Data() const { return data_; }
    DWORD Size() const { return size_; }

private:
    DWORD size_;
    void* data_;
};

// Holds a range lock on the whole of a file of ours while its bytes are
// read or written: a lock that another program holds on any of them makes
// it fail at once, as Windows' own read or write of those bytes would.
class RangeLock {
public:
    RangeLock(HANDLE file, DWORD flags) : file_(file)
    {
        locked_ = LockFileEx(file_, flags | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, 0, &at_) != FALSE;
    }
    ~RangeLock()
    {
        if (locked_)
            UnlockFileEx(file_, 0, MAXDWORD, 0, &at_);
    }
    RangeLock(const RangeLock&) = delete;
    RangeLock& operator=(const RangeLock&) = delete;

    bool IsHeld() const { return locked_; }

private:
    HANDLE file_;
    OVERLAPPED at_ = {};
    bool locked_;
};

bool ReadAll(HANDLE file, void* data, DWORD size)
{
    DWORD read = 0;
    return SetFilePointer(file, 0, nullptr, FILE_BEGIN) == 0 &&
           (size == 0 || (ReadFile(file, data, size, &read, nullptr) && read == size));
}

// Copies the file's bytes into a new file at `copyPath`. The caller holds
// the range lock.
long CopyWhole(HANDLE file, const char* copyPath, bool& wroteCopy)
{
    wroteCopy = false;
    DWORD high = 0;
    const DWORD size = GetFileSize(file, &high);
    if (size == INVALID_FILE_SIZE || high != 0 || size > kLargestFile)
        return kFileFailed;
    const Bytes bytes(size);
    if (!bytes.IsAllocated())
        return kFileFailed;
    if (!ReadAll(file, bytes.Data(), size))
        return FailureOfError(GetLastError());
    const KernelHandle copy(CreateFileA(copyPath, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_TEMPORARY, nullptr));
    DWORD written = 0;
    wroteCopy = copy.IsOpen();
    if (!wroteCopy || (size > 0 && (!WriteFile(copy.Get(), bytes.Data(), size, &written, nullptr) ||
                                    written != size)))
        return kFileFailed;
    return kFileUsable;
}

// Writes the bytes of the file at `copyPath` over the whole of `file`.
long WriteBack(HANDLE file, const char* copyPath)
{
    const KernelHandle copy(CreateFileA(copyPath, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                                        nullptr));
    DWORD high = 0;
    const DWORD size = copy.IsOpen() ? GetFileSize(copy.Get(), &high) : INVALID_FILE_SIZE;
    if (size == INVALID_FILE_SIZE || high != 0 || size > kLargestFile)
        return kFileFailed;
    const Bytes bytes(size);
    DWORD written = 0;
    if (!bytes.IsAllocated() || !ReadAll(copy.Get(), bytes.Data(), size))
        return kFileFailed;
    if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) != 0 ||
        !WriteFile(file, bytes.Data(), size, &written, nullptr) || written != size ||
        !SetEndOfFile(file))
        return FailureOfError(GetLastError());
    return kFileUsable;
}

// A DACL that only the administrators and the system may use, inherited by
// everything in the folder and kept from what its parent would pass down.
struct AdminOnlyDescriptor {
    static const BYTE kAdministrators[16]; // S-1-5-32-544
    static const BYTE kSystem[12];         // S-1-5-18

    BYTE acl[sizeof(ACL) + 2 * (sizeof(ACE_HEADER) + sizeof(ACCESS_MASK)) + sizeof kAdministrators +
             sizeof kSystem];
    SECURITY_DESCRIPTOR descriptor;

    AdminOnlyDescriptor()
    {
        std::memset(this, 0, sizeof *this);
        ACL* list = reinterpret_cast<ACL*>(acl);
        list->AclRevision = ACL_REVISION;
        list->AclSize = sizeof acl;
        list->AceCount = 2;
        BYTE* next = acl + sizeof(ACL);
        next = AddAllowed(next, kAdministrators, sizeof kAdministrators);
        AddAllowed(next, kSystem, sizeof kSystem);
        descriptor.Revision = SECURITY_DESCRIPTOR_REVISION;
        descriptor.Control = SE_DACL_PRESENT | SE_DACL_PROTECTED;
        descriptor.Dacl = list;
    }

    static BYTE* AddAllowed(BYTE* at, const BYTE* sid, size_t sidSize)
    {
        ACE_HEADER header = {ACCESS_ALLOWED_ACE_TYPE, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE,
                             static_cast<WORD>(sizeof header + sizeof(ACCESS_MASK) + sidSize)};
        const ACCESS_MASK mask = FILE_ALL_ACCESS;
        std::memcpy(at, &header, sizeof header);
        std::memcpy(at + sizeof header, &mask, sizeof mask);
        std::memcpy(at + sizeof header + sizeof mask, sid, sidSize);
        return at + header.AceSize;
    }
};
const BYTE AdminOnlyDescriptor::kAdministrators[16] = {1, 2, 0, 0, 0, 0, 0, 5,
                                                       32, 0, 0, 0, 0x20, 0x02, 0, 0};
const BYTE AdminOnlyDescriptor::kSystem[12] = {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};

// The NT name of an ANSI path: \??\ and the path in UTF-16.
bool NtNameOf(const char* path, WCHAR* name, int size)
{
    std::memcpy(name, L"\\??\\", 4 * sizeof(WCHAR));
    const int length = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path, -1, name + 4, size - 4);
    return length > 0;
}


} // namespace

WindowsFiles::WindowsFiles(const LibraryLoader& loader) : WindowsFiles(loader, nullptr) {}

WindowsFiles::WindowsFiles(const LibraryLoader& loader, const char* folder)
    : ntdll_(loader, "ntdll.dll")
{
    if (folder != nullptr)
        lstrcpynA(folder_, folder, sizeof folder_);
    else
        GetWindowsDirectoryA(folder_, kPathBuffer);
    bound_ = ntdll_.IsLoaded() && api_.Bind(ntdll_);
    WCHAR name[MAX_PATH + 8];
    if (bound_ && NtNameOf(folder_, name, sizeof name / sizeof name[0]))
        OpenRelative(api_, nullptr, name, FILE_TRAVERSE | SYNCHRONIZE,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nt::kOpenExisting,
                     nt::kDirectoryFile | nt::kSynchronousIoNonAlert, nullptr, folderHandle_);
}

WindowsFiles::~WindowsFiles()
{
    if (private_[0] == '\0')
        return;
    for (int i = 0; i < entryCount_; ++i)
        if (entries_[i].copy[0] != '\0')
            DeleteFileA(entries_[i].copy);
    RemoveDirectoryA(private_);
}

WindowsFiles::Entry* WindowsFiles::EntryOf(const char* name)
{
    for (int i = 0; i < entryCount_; ++i)
        if (lstrcmpiA(entries_[i].name, name) == 0)
            return &entries_[i];
    if (entryCount_ == kMostEntries || std::strlen(name) >= sizeof entries_[0].name)
        return nullptr;
    Entry& entry = entries_[entryCount_++];
    lstrcpynA(entry.name, name, sizeof entry.name);
    entry.state = kFileFailed;
    return &entry;
}

long WindowsFiles::Open(const char* name, ACCESS_MASK access, ULONG sharing, ULONG disposition,
                        KernelHandle& file)
{
    WCHAR wide[32];
    if (!folderHandle_.IsOpen() ||
        MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, name, -1, wide, 32) == 0)
        return kFileFailed;
    const DWORD start = GetTickCount();
    for (;;) {
        const NTSTATUS status = OpenRelative(api_, folderHandle_.Get(), wide, access, sharing,
                                             disposition, kFileOptions, nullptr, file);
        if (status != nt::kOplockBreakInProgress)
            return status == nt::kSuccess ? kFileUsable : FailureOfOpen(status);
        // The open went through, but its break is not acknowledged yet:
        // what the handle reads could wait on it.
        file.Reset();
        const DWORD spent = GetTickCount() - start;
        if (spent >= kOplockWaitPerFile || waited_ + spent >= kOplockWaitPerRun) {
            waited_ += spent;
            return kFileOplocked;
        }
        Sleep(kBreakPause);
    }
}

bool WindowsFiles::MakePrivateFolder()
{
    if (private_[0] != '\0')
        return true;
    char temp[MAX_PATH] = {};
    const DWORD length = GetTempPathA(MAX_PATH, temp);
    if (length == 0 || length >= MAX_PATH)
        return false;
    AdminOnlyDescriptor admins;
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, &admins.descriptor, FALSE};
    // A name that a user made first, whatever it is, is another's: the
    // next one is tried.
    for (DWORD attempt = 0; attempt < 16; ++attempt) {
        char path[MAX_PATH];
        if (!FormatInto(path, sizeof path, "%sVK%lx-%lx.tmp", temp, GetCurrentProcessId(),
                        GetTickCount() + attempt))
            return false;
        if (CreateDirectoryA(path, &attributes)) {
            lstrcpynA(private_, path, sizeof private_);
            return true;
        }
    }
    return false;
}

bool WindowsFiles::NextCopyPath(char* path)
{
    return MakePrivateFolder() &&
           FormatInto(path, MAX_PATH, "%s\\%d.ini", private_, copies_++);
}

long WindowsFiles::CopyOf(const char* name, const char*& copy)
{
    copy = "";
    Entry* entry = EntryOf(name);
    if (entry == nullptr)
        return kFileFailed;
    if (!entry->tried) {
        entry->tried = true;
        entry->state = ReadIntoCopy(name, *entry);
    }
    copy = entry->copy;
    return entry->state;
}

long WindowsFiles::ReadIntoCopy(const char* name, Entry& entry)
{
    KernelHandle file;
    long state = Open(name, kReadRights, kReadSharing, nt::kOpenExisting, file);
    if (state != kFileUsable)
        return state;
    const RangeLock lock(file.Get(), 0);
    if (!lock.IsHeld())
        return FailureOfError(GetLastError());
    if (!NextCopyPath(entry.copy))
        return kFileFailed;
    bool wroteCopy = false;
    state = CopyWhole(file.Get(), entry.copy, wroteCopy);
    if (state != kFileUsable) {
        if (wroteCopy)
            DeleteFileA(entry.copy);
        entry.copy[0] = '\0';
    }
    return state;
}

bool WindowsFiles::FirstReportOf(const char* name)
{
    Entry* entry = EntryOf(name);
    if (entry == nullptr || entry->reported)
        return false;
    entry->reported = true;
    return true;
}

long WindowsFiles::WriteValue(const char* name, const char* section, const char* key,
                              const char* value)
{
    KernelHandle file;
    long state = Open(name, kWriteRights, kWriteSharing, kOpenIf, file);
    if (state != kFileUsable)
        return state;
    const RangeLock lock(file.Get(), LOCKFILE_EXCLUSIVE_LOCK);
    if (!lock.IsHeld())
        return FailureOfError(GetLastError());
    char copy[MAX_PATH];
    if (!NextCopyPath(copy))
        return kFileFailed;
    // An empty or new log is left for the profile function to begin, as it
    // begins a file of its own.
    DWORD high = 0;
    bool wroteCopy = false;
    if (GetFileSize(file.Get(), &high) != 0 || high != 0)
        state = CopyWhole(file.Get(), copy, wroteCopy);
    if (state == kFileUsable) {
        wroteCopy = true;
        state = WritePrivateProfileStringA(section, key, value, copy) ? WriteBack(file.Get(), copy)
                                                                      : kFileFailed;
        // The profile functions may keep what they read of a file.
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, copy);
    }
    if (wroteCopy)
        DeleteFileA(copy);
    return state;
}
