// Common routines of the utility: the Windows directory, the history log,
// the restart of Windows, the kind of Windows that runs, the logon session
// and the library search.
#pragma once

#include "vb_types.h"

#include <windows.h>

#include <string>

std::wstring GetWindowsDir();          // without a trailing backslash
std::wstring TrimAtNul(const std::wstring& text);
std::wstring GetLogFilePath();         // GetWindowsDir() + "\VK_XP.log"
Status16 WriteAddedFolderRecord(std::wstring folderPath); // 1 written, 0 not

// How the history log could be opened for reading.
enum LogOpen { kLogOpened, kLogAbsent, kLogHeld };
// Opens the history log for reading, sharing everything, without waiting
// for another program: an open that breaks another program's oplock
// completes at once and is tried again for at most two seconds, after
// which the log counts as held. While the handle stays open nobody else can
// take an oplock that would make a write of ours wait.
LogOpen OpenLogForReading(HANDLE& log);
Bool16 EnableShutdownPrivilege();

// The logon session of this process's token (AuthenticationId) as text,
// "HHHHHHHH-LLLLLLLL"; empty when the token cannot be read.
std::wstring LogonSessionId();

// Takes the working directory out of the search for libraries that the
// binding table loads, before the first binding: an elevated utility must
// never load a VKSVC.dll that merely lies in a downloads folder. Does
// nothing on a Windows that offers neither way.
void RemoveCurrentDirectoryFromDllSearch();

// Makes the process refuse junctions that non-administrators made
// (RedirectionGuard), where Windows has it: a second line behind the grant's
// own refusal of links. Does nothing where the call or the policy is missing.
void RefuseJunctionsOfOrdinaryUsers();

// Gives Windows (Vista and later) the reason why a sign-out or restart has
// to wait, and takes it back; `mainWindow` answers WM_QUERYENDSESSION with
// FALSE meanwhile. Nothing happens on older Windows.
void SetShutdownBlockReason(HWND mainWindow, const wchar_t* reason);
void ClearShutdownBlockReason(HWND mainWindow);

// Modes of RestartWindows.
constexpr Status16 kShutdown = 1;
constexpr Status16 kReboot = 2;
constexpr Status16 kLogoff = 3;
Status16 RestartWindows(Status16 mode); // always 0

// Kinds of Windows.
constexpr Status16 kWindows95 = 0;
constexpr Status16 kWindows95OSR2 = 1;
constexpr Status16 kWindows98OrMe = 2;
constexpr Status16 kWindowsNT4 = 3;
constexpr Status16 kWindowsNT5OrLater = 4;
Status16 GetWindowsKind();
