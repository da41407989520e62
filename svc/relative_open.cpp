#include "relative_open.h"

#include <cstring>

namespace {

// A name is opened, not deleted: nobody may rename or delete it while it is
// held, and data rights stay shareable for the applications.
const ULONG kHeldSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
// Synchronous handles; the link itself, never what it leads to; and an open
// that would wait for an oplock's holder completes at once instead. Backup
// intent as the kernel32 functions open folders.
const ULONG kOpenOptions = nt::kSynchronousIoNonAlert | nt::kOpenReparsePoint |
                           nt::kCompleteIfOplocked | nt::kOpenForBackupIntent;
// How long an open is tried again while the holder of an oplock has not
// acknowledged the break it started. A program on this PC acknowledges in
// milliseconds; an SMB client that holds a shared folder's file answers
// across the network, and its server waits for it longer still. Beyond
// this, the object is not reached: nobody may stall the run.
const DWORD kLongestBreakWait = 2000;
// Pauses between the tries, doubled from the first up to the longest.
const DWORD kFirstBreakPause = 10;
const DWORD kLongestBreakPause = 250;

NTSTATUS OpenName(const FileApi& api, HANDLE folder, const WCHAR* name, USHORT length,
                  ACCESS_MASK access, ULONG options, KernelHandle& object)
{
    UNICODE_STRING text;
    text.Length = text.MaximumLength = static_cast<USHORT>(length * sizeof(WCHAR));
    text.Buffer = const_cast<PWSTR>(name);
    OBJECT_ATTRIBUTES attributes = {sizeof attributes, folder, &text, nt::kCaseInsensitive,
                                    nullptr, nullptr};
    IO_STATUS_BLOCK io = {};
    HANDLE handle = nullptr;
    const NTSTATUS status = api.createFile(&handle, access, &attributes, &io, nullptr, 0,
                                           kHeldSharing, nt::kOpenExisting, options, nullptr, 0);
    object.Reset(nt::Succeeded(status) ? handle : nullptr);
    return status;
}

// An open that started an oplock break has not waited for it; it is tried
// again after growing pauses until the break is done, for a bounded time.
Opened OpenWithoutWaiting(const FileApi& api, HANDLE folder, const WCHAR* name, USHORT length,
                          ACCESS_MASK access, ULONG options, KernelHandle& object)
{
    const DWORD start = GetTickCount();
    DWORD pause = kFirstBreakPause;
    NTSTATUS status = OpenName(api, folder, name, length, access, options, object);
    while (status == nt::kOplockBreakInProgress) {
        object.Reset();
        const DWORD waited = GetTickCount() - start;
        if (waited >= kLongestBreakWait)
            return Opened::Busy;
        Sleep(pause < kLongestBreakWait - waited ? pause : kLongestBreakWait - waited);
        pause = pause * 2 < kLongestBreakPause ? pause * 2 : kLongestBreakPause;
        status = OpenName(api, folder, name, length, access, options, object);
    }
    switch (status) {
    case nt::kSuccess:
        return Opened::Object;
    case nt::kObjectNameNotFound:
    case nt::kObjectPathNotFound:
    case nt::kNoSuchFile:
        return Opened::Vanished;
    // A user can set and clear the delete flag around the walk: the
    // object stays, and was not written.
    case nt::kDeletePending:
    default:
        return Opened::Failed;
    }
}

bool IsUnknownHalf(ULONGLONG half) { return half == 0 || half == ~0ULL; }

// Reparse points that lead to another object, or whose data a program reads
// elsewhere: left like links. Any other tag is a filter's own way of keeping
// the object's data, which the object's DACL still guards.
bool LeadsElsewhere(ULONG tag)
{
    return (tag & nt::kReparseTagNameSurrogate) != 0 || tag == nt::kReparseTagAppExecLink;
}

template <typename Information>
bool Query(const FileApi& api, HANDLE object, ULONG informationClass, Information& information)
{
    IO_STATUS_BLOCK io = {};
    return nt::Succeeded(
        api.queryInformation(object, &io, &information, sizeof information, informationClass));
}

bool SameName(const WCHAR* name, ULONG length, const ListedName& listed)
{
    return length == listed.length && std::memcmp(name, listed.name, length * sizeof(WCHAR)) == 0;
}

// Where the class of every name is missing (before Vista, and Wine): the
// count of names not being deleted, through the handle.
Names NamesByCount(const FileApi& api, HANDLE file)
{
    nt::StandardInformation standard;
    if (!Query(api, file, nt::kFileStandardInformation, standard))
        return Names::Unchecked;
    return standard.NumberOfLinks == 1 && !standard.DeletePending ? Names::One : Names::Other;
}

} // namespace

bool IsLink(ULONG attributes) { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
bool IsFolder(ULONG attributes) { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

Opened OpenVolumeRoot(const FileApi& api, char letter, ACCESS_MASK access, KernelHandle& root)
{
    WCHAR name[] = L"\\??\\C:\\";
    name[4] = static_cast<WCHAR>(static_cast<unsigned char>(letter));
    const USHORT length = static_cast<USHORT>(sizeof name / sizeof name[0] - 1);
    return OpenWithoutWaiting(api, nullptr, name, length, access,
                              kOpenOptions | nt::kDirectoryFile, root);
}

bool FindListed(const FileApi& api, HANDLE folder, const WCHAR* name, USHORT length,
                ListedName& found)
{
    union {
        nt::DirectoryEntry entry;
        BYTE bytes[sizeof(nt::DirectoryEntry) + sizeof found.name];
    } listing;
    UNICODE_STRING mask;
    mask.Length = mask.MaximumLength = static_cast<USHORT>(length * sizeof(WCHAR));
    mask.Buffer = const_cast<PWSTR>(name);
    IO_STATUS_BLOCK io = {};
    if (!nt::Succeeded(api.queryDirectory(folder, nullptr, nullptr, nullptr, &io, &listing,
                                          sizeof listing, nt::kFileDirectoryInformation, TRUE,
                                          &mask, TRUE)))
        return false;
    const ULONG foundLength = listing.entry.FileNameLength / sizeof(WCHAR);
    if (foundLength == 0 || foundLength >= sizeof found.name / sizeof found.name[0])
        return false;
    std::memcpy(found.name, listing.entry.FileName, foundLength * sizeof(WCHAR));
    found.name[foundLength] = L'\0';
    found.length = static_cast<USHORT>(foundLength);
    found.attributes = listing.entry.FileAttributes;
    return true;
}

Opened OpenListed(const FileApi& api, HANDLE folder, const ListedName& child, ACCESS_MASK access,
                  KernelHandle& object)
{
    const bool listedAsLink = IsLink(child.attributes);
    const bool isFolder = IsFolder(child.attributes);
    const ULONG kind = isFolder ? nt::kDirectoryFile : nt::kNonDirectoryFile;
    const Opened opened = OpenWithoutWaiting(api, folder, child.name, child.length,
                                             access | (isFolder ? kListingRights : 0),
                                             kOpenOptions | kind, object);
    if (opened != Opened::Object) {
        object.Reset();
        // A reparse point whose tag cannot be read is a link.
        return listedAsLink && opened != Opened::Busy ? Opened::Link : opened;
    }
    // A reparse point, listed as one or put in the name's place since the
    // listing: opened itself, and its tag read through the handle.
    nt::AttributeTagInformation tag;
    if (!Query(api, object.Get(), nt::kFileAttributeTagInformation, tag))
        return listedAsLink ? Opened::Link : Opened::Failed;
    // Some file systems show a link only in the listing (Wine's handles
    // follow it even when opened on the link itself).
    if (!IsLink(tag.FileAttributes))
        return listedAsLink ? Opened::Link : Opened::Object;
    return LeadsElsewhere(tag.ReparseTag) ? Opened::Link : Opened::Provided;
}

bool FileIdOf(const FileApi& api, HANDLE object, LONGLONG& id)
{
    nt::InternalInformation internal;
    if (!Query(api, object, nt::kFileInternalInformation, internal) ||
        IsUnknownHalf(static_cast<ULONGLONG>(internal.IndexNumber.QuadPart)))
        return false;
    id = internal.IndexNumber.QuadPart;
    return true;
}

bool ObjectIdOf(const FileApi& api, HANDLE object, ObjectId& id)
{
    // Where both exist, the 128-bit ID is the 64-bit one widened; it is
    // asked only where the 64-bit one is missing (a file of a large ReFS
    // volume), as it costs more, and Windows before 8 lacks its class.
    LONGLONG narrow = 0;
    if (FileIdOf(api, object, narrow)) {
        id = {static_cast<ULONGLONG>(narrow), 0};
        return true;
    }
    nt::IdInformation wide;
    if (!Query(api, object, nt::kFileIdInformation, wide))
        return false;
    id = {wide.FileId[0], wide.FileId[1]};
    // Unknown as a whole, or a 64-bit ID widened that was unknown.
    return !(IsUnknownHalf(id.low) && IsUnknownHalf(id.high));
}

Names NamesOf(const FileApi& api, HANDLE file, LONGLONG folderId, const ListedName& listed)
{
    union {
        nt::LinksInformation links;
        BYTE bytes[sizeof(nt::LinksInformation) + sizeof listed.name];
    } names;
    IO_STATUS_BLOCK io = {};
    const NTSTATUS status = api.queryInformation(file, &io, &names, sizeof names,
                                                 nt::kFileHardLinkInformation);
    if (status == nt::kInvalidInfoClass || status == nt::kNotImplemented)
        return NamesByCount(api, file);
    // Room for one name of the longest kind: more did not fit.
    if (status == nt::kBufferOverflow)
        return Names::Other;
    if (!nt::Succeeded(status))
        return Names::Unchecked;
    if (names.links.EntriesReturned != 1)
        return Names::Other;
    const nt::LinkEntry& entry = names.links.Entry;
    // A file system without 64-bit file IDs gives none.
    if (IsUnknownHalf(static_cast<ULONGLONG>(entry.ParentFileId)))
        return Names::Unchecked;
    return entry.ParentFileId == folderId && SameName(entry.FileName, entry.FileNameLength, listed)
               ? Names::One
               : Names::Other;
}

NTSTATUS OpenRelative(const FileApi& files, HANDLE folder, const WCHAR* name, ACCESS_MASK access,
                      ULONG sharing, ULONG disposition, ULONG options,
                      PSECURITY_DESCRIPTOR descriptor, KernelHandle& object)
{
    UNICODE_STRING text;
    text.Length = text.MaximumLength = static_cast<USHORT>(lstrlenW(name) * sizeof(WCHAR));
    text.Buffer = const_cast<PWSTR>(name);
    OBJECT_ATTRIBUTES attributes = {sizeof attributes, folder, &text, nt::kCaseInsensitive,
                                    descriptor, nullptr};
    IO_STATUS_BLOCK io = {};
    HANDLE handle = nullptr;
    const NTSTATUS status = files.createFile(&handle, access, &attributes, &io, nullptr,
                                             FILE_ATTRIBUTE_NORMAL, sharing, disposition, options,
                                             nullptr, 0);
    object.Reset(nt::Succeeded(status) ? handle : nullptr);
    return status;
}
