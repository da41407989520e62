// The ntdll file functions that the grant opens, lists and checks objects
// with, bound by name at run time through the loader seam (Windows 2000 has
// them all). They open a name relative to a folder handle, which the
// kernel32 functions cannot: a path is looked up again from the drive's
// root, through folders that may have become junctions since they were
// checked.
#pragma once

#include "runtime_library.h"

#include <windows.h>
#include <winternl.h>

namespace nt {

// Statuses. NT_SUCCESS covers the two that are not errors.
const NTSTATUS kSuccess = 0x00000000;
const NTSTATUS kOplockBreakInProgress = 0x00000108;
const NTSTATUS kBufferOverflow = static_cast<NTSTATUS>(0x80000005);
const NTSTATUS kNoMoreFiles = static_cast<NTSTATUS>(0x80000006);
const NTSTATUS kNotImplemented = static_cast<NTSTATUS>(0xC0000002);
const NTSTATUS kInvalidInfoClass = static_cast<NTSTATUS>(0xC0000003);
const NTSTATUS kNoSuchFile = static_cast<NTSTATUS>(0xC000000F);
const NTSTATUS kObjectNameNotFound = static_cast<NTSTATUS>(0xC0000034);
const NTSTATUS kObjectPathNotFound = static_cast<NTSTATUS>(0xC000003A);
const NTSTATUS kDeletePending = static_cast<NTSTATUS>(0xC0000056);

inline bool Succeeded(NTSTATUS status) { return status >= 0; }

// NtCreateFile's disposition and options.
const ULONG kOpenExisting = 1; // FILE_OPEN
const ULONG kDirectoryFile = 0x00000001;
const ULONG kSynchronousIoNonAlert = 0x00000020;
const ULONG kNonDirectoryFile = 0x00000040;
const ULONG kCompleteIfOplocked = 0x00000100;
const ULONG kOpenForBackupIntent = 0x00004000;
const ULONG kOpenReparsePoint = 0x00200000;
const ULONG kCaseInsensitive = 0x00000040; // OBJ_CASE_INSENSITIVE

// Information classes.
const ULONG kFileDirectoryInformation = 1;
const ULONG kFileBasicInformation = 4;
const ULONG kFileStandardInformation = 5;
const ULONG kFileInternalInformation = 6;
const ULONG kFileAttributeTagInformation = 35;
const ULONG kFileHardLinkInformation = 46;
const ULONG kFileIdInformation = 59;

// Reparse tags. A name surrogate names another object, as a link does.
const ULONG kReparseTagNameSurrogate = 0x20000000;
const ULONG kReparseTagAppExecLink = 0x8000001B; // names its target without the bit

struct DirectoryEntry { // FILE_DIRECTORY_INFORMATION
    ULONG NextEntryOffset;
    ULONG FileIndex;
    LARGE_INTEGER CreationTime;
    LARGE_INTEGER LastAccessTime;
    LARGE_INTEGER LastWriteTime;
    LARGE_INTEGER ChangeTime;
    LARGE_INTEGER EndOfFile;
    LARGE_INTEGER AllocationSize;
    ULONG FileAttributes;
    ULONG FileNameLength; // bytes
    WCHAR FileName[1];
};

struct BasicInformation { // FILE_BASIC_INFORMATION
    LARGE_INTEGER CreationTime;
    LARGE_INTEGER LastAccessTime;
    LARGE_INTEGER LastWriteTime;
    LARGE_INTEGER ChangeTime;
    ULONG FileAttributes;
};

struct StandardInformation { // FILE_STANDARD_INFORMATION
    LARGE_INTEGER AllocationSize;
    LARGE_INTEGER EndOfFile;
    ULONG NumberOfLinks;
    BOOLEAN DeletePending;
    BOOLEAN Directory;
};

struct InternalInformation { // FILE_INTERNAL_INFORMATION
    LARGE_INTEGER IndexNumber;
};

struct AttributeTagInformation { // FILE_ATTRIBUTE_TAG_INFORMATION
    ULONG FileAttributes;
    ULONG ReparseTag;
};

struct IdInformation { // FILE_ID_INFORMATION
    ULONGLONG VolumeSerialNumber;
    ULONGLONG FileId[2]; // FILE_ID_128, low half first
};

struct LinkEntry { // FILE_LINK_ENTRY_INFORMATION
    ULONG NextEntryOffset;
    LONGLONG ParentFileId;
    ULONG FileNameLength; // characters
    WCHAR FileName[1];
};

struct LinksInformation { // FILE_LINKS_INFORMATION
    ULONG BytesNeeded;
    ULONG EntriesReturned;
    LinkEntry Entry;
};

} // namespace nt

struct FileApi {
    using CreateFileFn = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES,
                                          PIO_STATUS_BLOCK, PLARGE_INTEGER, ULONG, ULONG, ULONG,
                                          ULONG, PVOID, ULONG);
    using QueryDirectoryFn = NTSTATUS(NTAPI*)(HANDLE, HANDLE, PVOID, PVOID, PIO_STATUS_BLOCK,
                                              PVOID, ULONG, ULONG, BOOLEAN, PUNICODE_STRING,
                                              BOOLEAN);
    using QueryInformationFn = NTSTATUS(NTAPI*)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, ULONG);

    CreateFileFn createFile;
    QueryDirectoryFn queryDirectory;
    QueryInformationFn queryInformation;

    // False when one of them is missing from the library.
    bool Bind(const LoadedLibrary& ntdll);
};
