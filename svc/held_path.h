// The object that a path names, opened once so that its DACL is read and
// written through one handle, with every folder between the drive root and
// it opened and held as well. A link anywhere on the way is refused: the
// utility runs elevated, and folders such as \VESKAEX can be made, or
// replaced, by any user of the PC.
#pragma once

#include <windows.h>

class HeldPath {
public:
    HeldPath() = default;
    ~HeldPath();
    HeldPath(const HeldPath&) = delete;
    HeldPath& operator=(const HeldPath&) = delete;

    // kGrantDone when the object and the folders above it are held;
    // kGrantReadFailed when one of them is missing or cannot be opened;
    // kGrantLinkRefused when one is a junction, mount point or symbolic
    // link, or the object is a file with another name (hard link), or when
    // Windows would read the path as another name than its text (".", "..",
    // trailing dots or spaces, "/", a stream after a second ':').
    LONG Open(LPCSTR path);

    // The object's full path, without a trailing backslash but for "X:".
    LPCSTR FullPath() const { return full_; }

    // Opened with READ_CONTROL and WRITE_DAC.
    HANDLE Object() const { return held_[count_ - 1]; }

    // Whether the held object is still neither a link nor a file with
    // another name: once Users may change it, they may make it one.
    bool IsStillUnlinked() const;

private:
    LONG Hold(const char* path, DWORD access, bool isObject);

    // "X:\" and one folder per further character pair at most: a path that
    // CreateFileA accepts has fewer than MAX_PATH characters.
    static const int kMostHeld = MAX_PATH / 2 + 1;
    HANDLE held_[kMostHeld] = {};
    char full_[MAX_PATH] = {};
    int count_ = 0;
};
