// What the utility does, apart from the windows that show it: each action
// returns what happened and shows nothing, so that the windows and a
// program without windows run the same ones. An action that the library
// cannot be bound for raises BindingError (binding_table.h).
#pragma once

#include "basXPCommon.h"

#include <string>

// --- The applications' folders ------------------------------------------------

// Whether the applications' ini files name a folder that exists, or one of
// the two fixed folders exists: the folders that GrantApplicationFolders
// grants.
bool ApplicationFoldersFound();
// Gives the Users group full control on each of those folders and records
// each outcome in the history log. Takes long on a big tree. Empty, or when
// an ini file could not be read (its folders are then neither granted nor
// recorded), a sentence that names it and says why.
std::wstring GrantApplicationFolders();
// The history log's text as the history view shows it (every line followed
// by an empty one); false when there is no log to read.
bool ReadHistory(std::wstring& text);

// --- One folder that the administrator names ----------------------------------

enum FolderGrantStatus {
    kFolderGranted,     // granted, and recorded in the history log
    kFolderNotRecorded, // granted, but the history log could not take its record
    kFolderIsDrive,     // refused: a whole drive
    kFolderNotGranted,  // refused (a name Windows or ANSI reads as another folder) or failed
};

// Whether `text` names a whole drive: any text of three characters, or an
// absolute path that comes out as a drive root once made a full path
// ("C:\.", "C:\\", "C:\Windows\..").
bool NamesWholeDrive(const std::wstring& text);

// Whether Windows reads `text` as exactly the path it says: its full path
// (GetFullPathNameW) is the text itself. A trailing dot or space, a "." or
// ".." part, "/" and doubled backslashes make it another, as does a path
// that is not absolute.
bool NamesFolderExactly(const std::wstring& text);

// Gives the Users group full control on `folder` and records it in the
// history log; a failed grant is not recorded. `runLong(grant)` calls
// `grant()`, the part that takes long: the windows run it on a worker thread,
// a program without windows calls it at once. The library's status goes to
// `libraryStatus` when one is given (0 where no grant was tried).
template <typename RunLong>
FolderGrantStatus GrantFolder(const std::wstring& folder, RunLong&& runLong,
                              Long32* libraryStatus = nullptr);

// --- The fixed-pitch font switch ----------------------------------------------

// Whether this process may change the switch: its key opens with full
// access, which only an administrator has.
bool MayChangeFontSwitch();
// The stored switch; false when it is not set.
bool ReadFontSwitch(Long32& value);
// Sets the switch (on) or removes it (off). True when Windows must restart
// for the change to show; false when the switch could not be set.
bool SetFontSwitch(bool on);

// --- The session ----------------------------------------------------------------

// Restarts Windows; a program that refuses to close keeps it running.
void RestartNow();

// Removes the user's stale VirtualStore copy of the applications' ini file
// and reconnects the remembered network drives that an elevated process does
// not see. True when drives were reconnected, with the text that says which
// in `message`.
bool RepairForElevation(std::wstring& message);

// --- Details of GrantFolder -------------------------------------------------------

// Whether `folder` may be granted: kFolderGranted when it may.
FolderGrantStatus CheckFolderToGrant(const std::wstring& folder);
FolderGrantStatus RecordFolderGrant(const std::wstring& folder, Long32 grantStatus);

template <typename RunLong>
FolderGrantStatus GrantFolder(const std::wstring& folder, RunLong&& runLong, Long32* libraryStatus)
{
    const FolderGrantStatus check = CheckFolderToGrant(folder);
    if (check != kFolderGranted)
        return check;
    Long32 status = 0;
    auto grant = [&] {
        std::wstring path = folder;
        status = GrantUsersFullControl(path);
    };
    runLong(grant);
    if (libraryStatus != nullptr)
        *libraryStatus = status;
    return RecordFolderGrant(folder, status);
}
