#include "held_path.h"

#include "vksvc.h"

#include <cstring>

namespace {

// A folder above the object is held with a right that takes part in
// sharing (traverse counts as execute), and without FILE_SHARE_DELETE:
// while it is held, nobody can rename or delete it, so the name that was
// checked keeps naming the folder that was opened. READ_CONTROL and WRITE_DAC
// alone would not do: Windows checks the sharing of data rights only.
const DWORD kFolderAboveAccess = FILE_TRAVERSE | FILE_READ_ATTRIBUTES;
const DWORD kObjectAccess = READ_CONTROL | WRITE_DAC | FILE_READ_ATTRIBUTES;
const DWORD kHeldSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
// The link itself, never what it leads to; and folders as well as files.
const DWORD kOpenItself = FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS;

bool IsLink(DWORD attributes)
{
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool IsFolder(DWORD attributes)
{
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// A folder, or a file that no other name reaches.
bool IsUnlinked(const BY_HANDLE_FILE_INFORMATION& info)
{
    return !IsLink(info.dwFileAttributes) &&
           (IsFolder(info.dwFileAttributes) || info.nNumberOfLinks == 1);
}

// Shift-JIS trail bytes may be 0x5C: a backslash only where a character
// starts.
char* NextCharacter(char* at)
{
    if (IsDBCSLeadByte(static_cast<BYTE>(*at)) && at[1] != '\0')
        return at + 2;
    return at + 1;
}

// The path as Windows reads it, refused unless that is the text itself (a
// trailing backslash aside): an ini value "C:\\VESKA\\.." would otherwise
// grant "C:\\" while the history records "C:\\VESKA\\..". Kept without a
// trailing backslash unless it is the drive root "X:\\".
LONG FullPathOf(LPCSTR path, char (&full)[MAX_PATH])
{
    const DWORD length = GetFullPathNameA(path, MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH)
        return kGrantReadFailed;
    // The caller checked for "X:\\"; Windows may spell the letter in
    // another case.
    if ((full[0] | 0x20) != (path[0] | 0x20) || std::strcmp(full + 1, path + 1) != 0)
        return kGrantLinkRefused;
    char* lastBackslash = nullptr;
    char* end = full + 2;
    for (; *end != '\0'; end = NextCharacter(end)) {
        if (*end == ':')
            return kGrantLinkRefused;
        if (*end == '\\')
            lastBackslash = end;
    }
    if (lastBackslash != nullptr && lastBackslash + 1 == end && end - full > 3)
        *lastBackslash = '\0';
    return kGrantDone;
}

} // namespace

HeldPath::~HeldPath()
{
    while (count_ > 0)
        CloseHandle(held_[--count_]);
}

LONG HeldPath::Hold(const char* path, DWORD access, bool isObject)
{
    if (count_ == kMostHeld)
        return kGrantReadFailed;
    const HANDLE handle = CreateFileA(path, access, kHeldSharing, nullptr, OPEN_EXISTING,
                                      kOpenItself, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return kGrantReadFailed;
    held_[count_++] = handle;

    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info))
        return kGrantReadFailed;
    if (isObject ? !IsUnlinked(info) : IsLink(info.dwFileAttributes))
        return kGrantLinkRefused;
    // Some file systems show a link only by name (Wine's follows it even
    // through a handle opened on the link itself). Asked now that the name
    // is held, it names the object just opened.
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return kGrantReadFailed;
    if (IsLink(attributes))
        return kGrantLinkRefused;
    return isObject || IsFolder(info.dwFileAttributes) ? kGrantDone : kGrantReadFailed;
}

LONG HeldPath::Open(LPCSTR path)
{
    char (&full)[MAX_PATH] = full_;
    const LONG named = FullPathOf(path, full);
    if (named != kGrantDone)
        return named;
    // From the first folder below the root down to the object; the root
    // itself is a volume's and cannot be swapped.
    for (char* at = full + 3; *at != '\0'; at = NextCharacter(at)) {
        if (*at != '\\')
            continue;
        *at = '\0';
        const LONG status = Hold(full, kFolderAboveAccess, false);
        *at = '\\';
        if (status != kGrantDone)
            return status;
    }
    return Hold(full, kObjectAccess, true);
}

bool HeldPath::IsStillUnlinked() const
{
    BY_HANDLE_FILE_INFORMATION info;
    return GetFileInformationByHandle(Object(), &info) && IsUnlinked(info);
}
