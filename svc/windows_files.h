// The applications' ini files and the history log in the Windows folder,
// opened by the library itself relative to the folder's handle, never by a
// path that the profile functions would open and wait on. Files there are
// readable by every user, and any user may hold one open without sharing,
// lock its bytes or take an oplock and never release it: each open gives up
// after a bounded wait and says why. The profile functions then read or
// write a private copy of the bytes, in a folder only administrators can
// change, so that Windows' own parsing and byte layout stay.
#pragma once

#include "kernel_handle.h"
#include "nt_file_api.h"
#include "windows_file_failure.h"

// How long the opens of one run wait for oplocks' holders, in all.
const DWORD kOplockWaitPerFile = 2000;  // ms
const DWORD kOplockWaitPerRun = 30000;  // ms

class WindowsFiles {
public:
    // The files of the Windows folder, through ntdll bound by `loader`.
    explicit WindowsFiles(const LibraryLoader& loader);
    // Those of another folder, whose path must fit kPathBuffer.
    WindowsFiles(const LibraryLoader& loader, const char* folder);
    ~WindowsFiles();
    WindowsFiles(const WindowsFiles&) = delete;
    WindowsFiles& operator=(const WindowsFiles&) = delete;

    const char* FolderPath() const { return folder_; }

    // The path of a private copy of the file `name` of the folder, for the
    // profile functions to read, in `copy`: kFileUsable. Read once per run;
    // a file that failed is not tried again.
    long CopyOf(const char* name, const char*& copy);

    // Whether a failure to read `name` is still to be reported: true once.
    bool FirstReportOf(const char* name);

    // Writes `key`=`value` into `section` of the file `name`, as
    // WritePrivateProfileStringA writes it, holding the file unshared for
    // writing from its read to its write. kFileUsable when written.
    long WriteValue(const char* name, const char* section, const char* key, const char* value);

private:
    struct Entry {
        char name[32];
        bool tried;
        long state;
        bool reported;
        char copy[MAX_PATH];
    };
    static const int kMostEntries = 12;

    Entry* EntryOf(const char* name);
    long ReadIntoCopy(const char* name, Entry& entry);
    long Open(const char* name, ACCESS_MASK access, ULONG sharing, ULONG disposition,
              KernelHandle& file);
    bool MakePrivateFolder();
    bool NextCopyPath(char* path);

    LoadedLibrary ntdll_;
    FileApi api_ = {};
    bool bound_ = false;
    char folder_[MAX_PATH] = {};
    KernelHandle folderHandle_;
    char private_[MAX_PATH] = {};
    int copies_ = 0;
    DWORD waited_ = 0;
    Entry entries_[kMostEntries] = {};
    int entryCount_ = 0;
};
