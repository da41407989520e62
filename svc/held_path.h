// The object that a path names, opened once so that its DACL is read and
// written through one handle, with every folder between the drive root and
// it held as well: the root by its name, then each folder by one name
// relative to the one above it, the object last. A link anywhere on the way
// is refused: the utility runs elevated, and folders such as \VESKAEX can be
// made, or replaced, by any user of the PC.
#pragma once

#include "kernel_handle.h"
#include "relative_open.h"

class HeldPath {
public:
    HeldPath() = default;
    HeldPath(const HeldPath&) = delete;
    HeldPath& operator=(const HeldPath&) = delete;

    // kGrantDone when the object and the folders above it are held;
    // kGrantReadFailed when one of them is missing or cannot be opened;
    // kGrantLinkRefused when one is a junction, mount point or symbolic
    // link, or the object is a file with another name (hard link), or when
    // Windows would read the path as another name than its text (".", "..",
    // a name ending in a dot or a space, "/", a stream after a second ':');
    // kGrantWriteFailed when the file system cannot tell a file's names.
    // The object is opened with `objectRights`.
    LONG Open(const FileApi& api, LPCSTR path, ACCESS_MASK objectRights = kObjectRights);

    // Opened with the object rights, and when it is a folder with the rights
    // to list and walk it.
    HANDLE Object() const { return held_[count_ - 1].Get(); }
    bool IsFolder() const { return ::IsFolder(object_.attributes); }

    // Whether the held object is still neither a link nor a file with
    // another name: once Users may change it, they may make it one.
    bool IsStillUnlinked(const FileApi& api) const;

private:
    LONG HoldRoot(const FileApi& api, char letter, bool isObject);
    LONG HoldChild(const FileApi& api, const WCHAR* name, USHORT length, bool isObject);

    // The root and one folder per further character pair at most: a path
    // of the grant has fewer than MAX_PATH characters.
    static const int kMostHeld = MAX_PATH / 2 + 1;
    KernelHandle held_[kMostHeld];
    int count_ = 0;
    ACCESS_MASK objectRights_ = kObjectRights;
    ListedName object_ = {{L'\0'}, 0, FILE_ATTRIBUTE_DIRECTORY};
    LONGLONG parentId_ = 0;
};
