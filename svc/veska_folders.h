#pragma once

#include "history_log.h"
#include "runtime_library.h"

class WindowsFiles;

// What the grant of the applications' folders did, folder by folder, in
// this run: what the command line reports.
class GrantWatcher {
public:
    // A folder granted with `status`; `recorded` is kFileUsable when its
    // record was written (or none was due), otherwise why the log was not.
    virtual void Granted(const char* folder, const GrantLabel& label, LONG status,
                         long recorded) = 0;
    // \VESKAEX, which could not be made.
    virtual void NotCreated(const char* folder, const GrantLabel& label) = 0;
    // An ini file that is there but could not be read: the folders it names
    // are neither granted nor recorded.
    virtual void Unreadable(const char* iniPath, const GrantLabel& label, long failure) = 0;

protected:
    ~GrantWatcher() = default;
};

// SetVeskaFolder's work: grants every folder that the applications' ini
// files and the two fixed folders name and that exists, and records each
// grant in the history log. The security and file functions are bound
// through `loader`. 0, or the status that names the first ini file that
// could not be read and why (UnreadableIniStatus).
LONG GrantVeskaFolders(const LibraryLoader& loader, GrantWatcher* watcher = nullptr);

// Each folder that SetVeskaFolder reaches, in its order, with the label of
// its record.
class VeskaFolderVisitor {
public:
    // A folder that exists.
    virtual void Existing(const char* folder, const GrantLabel& label) = 0;
    // \VESKAEX, missing beside an existing \VESKADAT: the grant makes it,
    // and grants it when it could.
    virtual void Missing(const char* folder, const GrantLabel& label) = 0;
    // An ini file that is there and could not be read, once per run: the
    // folders it names are not visited.
    virtual void Unreadable(const char* iniPath, const char* iniFile, const GrantLabel& label,
                            long failure) = 0;

protected:
    ~VeskaFolderVisitor() = default;
};

// The ini files are read through `files`, once each.
void VisitVeskaFolders(WindowsFiles& files, VeskaFolderVisitor& visitor);
