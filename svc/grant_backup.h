// What a grant keeps before it writes any DACL: the DACL and control bits
// each object has, with its path below the named folder and its file ID,
// appended to one file in the backup folder as the walk goes. An object is
// written only once its line is on the disk, so that a grant cut short
// (power off, end task) leaves a backup of everything it wrote; the disk is
// flushed once for a batch of at most kBatch objects, not after every line,
// as Microsoft advises against. A folder's write waits in the batch as a
// file's does, before those of the objects below it; when it fails, theirs
// are not made, as if the folder had not been entered.
#pragma once

#include "backup_folder.h"

class GrantBackup {
public:
    // Objects whose writes wait for one flush at most.
    static const ULONG kBatch = 256;

    GrantBackup(const SecurityApi& api, const BackupApi& backupApi, const FileApi& files)
        : api_(api), backupApi_(backupApi), folder_(api, backupApi, files) {}
    // What still waits is not written. The oldest backups beyond what is
    // kept then go.
    ~GrantBackup();
    GrantBackup(const GrantBackup&) = delete;
    GrantBackup& operator=(const GrantBackup&) = delete;

    // Opens the backup folder and starts the backup of `folder` (the path as
    // the grant was given it). kGrantDone, or kGrantBackupRefused with
    // nothing written.
    LONG Start(LPCSTR folder);

    // About to write the object at `path` (relative to the named folder, "."
    // for the folder itself): keeps its DACL as `current` holds it. False
    // when it cannot be kept: the object must then not be written.
    bool Keep(const WCHAR* path, ULONG length, const ObjectId& id, PSECURITY_DESCRIPTOR current);

    // Puts what was kept on the disk, then writes what waits for it. False
    // when the lines could not be put there: then nothing kept since the
    // last flush may be written, and nothing waiting was.
    bool Flush();

    // Writes `computed` to `object` once the object's line is on the disk,
    // and only when the write of its folder's (`folder`, as this gave it, 0
    // for the named folder) did not fail. With `owned`, takes both;
    // otherwise they are the caller's until HandOver. Gives the write's
    // number, which the objects below pass as their `folder`.
    ULONG WriteLater(HANDLE object, PSECURITY_DESCRIPTOR computed, ULONG folder, bool owned);

    // The caller is done with an object whose write it did not give away:
    // true when the write still waits, which then takes the object and its
    // descriptor; false when it was made (or not), the caller's to free.
    bool HandOver(ULONG write);

    // Objects handed to WriteLater and not written (their write failed, or
    // their line never reached the disk).
    ULONG Unwritten() const { return unwritten_; }

private:
    struct Waiting {
        HANDLE object;
        PSECURITY_DESCRIPTOR computed;
        ULONG folder; // the write of its folder
        bool owned;
    };
    void Drop(Waiting& waiting);
    bool HasFailed(ULONG write) const;
    void MarkFailed(ULONG write);

    const SecurityApi& api_;
    const BackupApi& backupApi_;
    BackupFolder folder_;
    KernelHandle file_;
    WCHAR name_[256] = {};
    WCHAR namedFolder_[MAX_PATH] = {};
    HeapBuffer text_;
    LastDaclText lastDacl_;
    bool broken_ = false; // a line that did not reach the disk: nothing more is written
    Waiting waiting_[kBatch];
    ULONG waitingCount_ = 0;
    ULONG unwritten_ = 0;
    ULONG firstWaiting_ = 1; // the number of waiting_[0]
    HeapBuffer failed_;      // one bit a write

};
