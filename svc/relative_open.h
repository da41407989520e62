// The one way the grant opens an object: by a single name, relative to the
// handle of the folder that was checked, never by a path that Windows would
// look up again from the drive's root (a folder on the way may have become
// a junction since). The link itself is opened and refused, never
// followed; and no open waits long for another program's oplock.
#pragma once

#include "kernel_handle.h"
#include "nt_file_api.h"

// Rights that every object of the grant is opened with: its DACL read and
// written, its attributes read. None of them takes part in sharing, so a
// file that an application holds open without sharing is written too.
const ACCESS_MASK kObjectRights = READ_CONTROL | WRITE_DAC | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
// Rights of the audit, which reads every object and writes none: no
// WRITE_DAC, so that not even a mistake could change what it looks at.
const ACCESS_MASK kAuditRights = READ_CONTROL | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
// What a folder needs besides to be listed and walked through. Listing
// counts as reading: held without FILE_SHARE_DELETE, the folder cannot be
// renamed or deleted meanwhile.
const ACCESS_MASK kListingRights = FILE_LIST_DIRECTORY | FILE_TRAVERSE;

// One name of a folder as its listing gives it: the name as the file system
// keeps it, and the attributes the listing shows (some file systems show a
// link only there).
struct ListedName {
    WCHAR name[256];
    USHORT length; // characters
    ULONG attributes;
};

enum class Opened {
    Object,   // opened, and neither a link nor other than the listing said
    Provided, // a reparse point whose data a file-system filter keeps (compressed by
              // Windows, deduplicated, a cloud placeholder): written as any object,
              // but a folder's content may be a provider's to fetch
    Link,     // a junction, mount point, symbolic link or app execution alias, or a
              // reparse point whose tag cannot be read: left alone
    Vanished, // gone since the listing
    Failed,   // refused, being deleted, or swapped for a file or a folder
    Busy,     // another program's oplock still breaking after the longest wait
};

// A reparse point of any kind, by its attributes.
bool IsLink(ULONG attributes);
bool IsFolder(ULONG attributes);

// The root of volume `letter`, opened by its name: a root cannot be a link.
Opened OpenVolumeRoot(const FileApi& api, char letter, ACCESS_MASK access, KernelHandle& root);

// Looks `name` up in the held folder's listing (the name is the listing's
// mask, so the folder must not have been listed through this handle
// before). False when it is not there or cannot be listed.
bool FindListed(const FileApi& api, HANDLE folder, const WCHAR* name, USHORT length,
                ListedName& found);

// Opens a name of the held folder's listing, with `access` and what a
// folder needs to be walked when the listing says it is one.
Opened OpenListed(const FileApi& api, HANDLE folder, const ListedName& child, ACCESS_MASK access,
                  KernelHandle& object);

// The folder's file ID, which each name of a file below it points back to.
// False when the file system has none for it (0, or all ones).
bool FileIdOf(const FileApi& api, HANDLE object, LONGLONG& id);

// An object's identity on its volume: its 64-bit file ID, widened, or
// FileIdInformation's 128 bits where the file system has no 64-bit one.
struct ObjectId {
    ULONGLONG low;
    ULONGLONG high;
};

// False when the object's ID cannot be read or is unknown (0, or all ones).
bool ObjectIdOf(const FileApi& api, HANDLE object, ObjectId& id);

enum class Names {
    One,       // the listed name in the held folder, and no other
    Other,     // another name, or none that is not being deleted
    Unchecked, // the file system cannot tell
};

// Every name of the held file, asked through its handle: a name the tree
// had when the file was opened may have been removed since, leaving only one
// outside the tree.
Names NamesOf(const FileApi& api, HANDLE file, LONGLONG folderId, const ListedName& listed);

// Opens or makes `name` (one name, or a full NT path where `folder` is null)
// relative to `folder`, with what NtCreateFile takes; a new object gets
// `descriptor` (may be null). The status, with `object` holding the handle
// when it succeeded.
NTSTATUS OpenRelative(const FileApi& files, HANDLE folder, const WCHAR* name, ACCESS_MASK access,
                      ULONG sharing, ULONG disposition, ULONG options,
                      PSECURITY_DESCRIPTOR descriptor, KernelHandle& object);
