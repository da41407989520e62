#include "held_path.h"

#include "vksvc.h"

#include <cstring>
#include <cwchar>

namespace {

// A folder above the object is held with a right that takes part in
// sharing (listing counts as reading), and without FILE_SHARE_DELETE: while
// it is held, nobody can rename or delete it.
const ACCESS_MASK kFolderAboveRights = FILE_READ_ATTRIBUTES | SYNCHRONIZE;

// Windows drops a trailing dot or space from a name when it opens a path,
// but GetFullPathName keeps one inside the path: "C:\\VESKADAT \\DB" would
// hold "C:\\VESKADAT" above a look-alike that nobody holds.
bool EndsInDotOrSpace(const WCHAR* name, USHORT length)
{
    return length > 0 && (name[length - 1] == L'.' || name[length - 1] == L' ');
}

// Characters that no name may hold, and that a listing's mask would read
// as wildcards.
bool HasWildcard(const WCHAR* name, USHORT length)
{
    for (USHORT i = 0; i < length; ++i)
        if (std::wcschr(L"*?<>\"|", name[i]) != nullptr || name[i] < L' ')
            return true;
    return false;
}

// The path as Windows reads it, refused unless that is the text itself (a
// trailing backslash aside): an ini value "C:\\VESKA\\.." would otherwise
// grant "C:\\" while the history records "C:\\VESKA\\..".
LONG FullPathOf(LPCSTR path, WCHAR (&wide)[MAX_PATH])
{
    char full[MAX_PATH];
    const DWORD length = GetFullPathNameA(path, MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH)
        return kGrantReadFailed;
    // The caller checked for "X:\\"; Windows may spell the letter in
    // another case.
    if ((full[0] | 0x20) != (path[0] | 0x20) || std::strcmp(full + 1, path + 1) != 0)
        return kGrantLinkRefused;
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, full, -1, wide, MAX_PATH) == 0)
        return kGrantReadFailed;
    // A stream name after a second ':'.
    return std::wcschr(wide + 2, L':') == nullptr ? kGrantDone : kGrantLinkRefused;
}

} // namespace

LONG HeldPath::HoldRoot(const FileApi& api, char letter, bool isObject)
{
    const ACCESS_MASK access = (isObject ? objectRights_ : kFolderAboveRights) | kListingRights;
    if (OpenVolumeRoot(api, letter, access, held_[count_]) != Opened::Object)
        return kGrantReadFailed;
    ++count_;
    return kGrantDone;
}

LONG HeldPath::HoldChild(const FileApi& api, const WCHAR* name, USHORT length, bool isObject)
{
    if (EndsInDotOrSpace(name, length) || length == 0)
        return kGrantLinkRefused;
    if (HasWildcard(name, length) || count_ == kMostHeld)
        return kGrantReadFailed;
    const HANDLE folder = held_[count_ - 1].Get();
    ListedName child;
    if (!FindListed(api, folder, name, length, child))
        return kGrantReadFailed;
    if (!isObject && !::IsFolder(child.attributes) && !IsLink(child.attributes))
        return kGrantReadFailed;
    switch (OpenListed(api, folder, child, isObject ? objectRights_ : kFolderAboveRights,
                       held_[count_])) {
    case Opened::Object:
        break;
    // A named object or a folder on the way is never one whose content
    // a provider fetches.
    case Opened::Link:
    case Opened::Provided:
        return kGrantLinkRefused;
    default:
        return kGrantReadFailed;
    }
    ++count_;
    if (!isObject)
        return kGrantDone;
    object_ = child;
    if (::IsFolder(child.attributes))
        return kGrantDone;
    if (!FileIdOf(api, folder, parentId_))
        return kGrantReadFailed;
    switch (NamesOf(api, Object(), parentId_, object_)) {
    case Names::One:
        return kGrantDone;
    case Names::Other:
        return kGrantLinkRefused;
    default:
        return kGrantWriteFailed;
    }
}

LONG HeldPath::Open(const FileApi& api, LPCSTR path, ACCESS_MASK objectRights)
{
    objectRights_ = objectRights;
    WCHAR full[MAX_PATH];
    const LONG named = FullPathOf(path, full);
    if (named != kGrantDone)
        return named;
    // "X:\\" and then one name after another, a trailing backslash aside.
    const WCHAR* name = full + 3;
    LONG status = HoldRoot(api, path[0], *name == L'\0');
    while (status == kGrantDone && *name != L'\0') {
        const WCHAR* end = name;
        while (*end != L'\0' && *end != L'\\')
            ++end;
        const bool isObject = *end == L'\0' || end[1] == L'\0';
        status = HoldChild(api, name, static_cast<USHORT>(end - name), isObject);
        name = isObject ? L"" : end + 1;
    }
    return status;
}

bool HeldPath::IsStillUnlinked(const FileApi& api) const
{
    nt::BasicInformation basic;
    IO_STATUS_BLOCK io = {};
    if (!nt::Succeeded(api.queryInformation(Object(), &io, &basic, sizeof basic,
                                            nt::kFileBasicInformation)) ||
        IsLink(basic.FileAttributes))
        return false;
    return IsFolder() || NamesOf(api, Object(), parentId_, object_) == Names::One;
}
