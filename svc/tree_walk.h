// The folder below the named object: its subfolders and files, each given
// what Windows' own propagation would give it from the object's new
// descriptor, walked by the library itself so that every object is checked
// through the handle its DACL is written through. Each is opened by its
// name relative to its folder's held handle; the path above the object is
// held_path's.
#pragma once

#include "nt_file_api.h"
#include "security_api.h"

class GrantBackup;

// Walks the tree below the held folder, listed through its handle, always
// to the end: each folder's listing is read whole before its children are
// visited, and each object is visited once, whatever names it is listed
// under meanwhile. kGrantLinkRefused when an object was left alone because
// it is a link or a file with another name; otherwise kGrantWriteFailed when
// an object could not be opened, identified, checked, read, computed or
// written (one that vanished meanwhile excepted); otherwise kGrantDone.
// With `backup`, each object's DACL is kept there before it is written.
LONG PassDownBelow(const SecurityApi& api, const FileApi& files, HANDLE folder,
                   PSECURITY_DESCRIPTOR folderDescriptor, GrantBackup* backup = nullptr);

// What the same walk would write and leave below a folder, were the folder
// given `folderDescriptor`.
struct WalkCounts {
    long due;            // objects that lack what the folder would pass down
    long links;          // junctions, mount points, symbolic links
    long otherNames;     // files that another name reaches
    long protectedDacls; // objects whose DACL is protected: passing down stops there
    long unreached;      // objects that could not be opened, checked, read or computed
    long unentered;      // folders whose content a provider fetches (cloud placeholders):
                         // written, and not walked below
};

// The walk of PassDownBelow, opening every object without the right to
// change it and writing nothing: counts what a grant would write and leave.
void AuditBelow(const SecurityApi& api, const FileApi& files, HANDLE folder,
                PSECURITY_DESCRIPTOR folderDescriptor, WalkCounts& counts);
