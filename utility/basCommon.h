// Common routines of the utility: the Windows directory, the history log,
// the restart of Windows and the kind of Windows that runs.
#pragma once

#include "vb_types.h"

#include <string>

std::wstring GetWindowsDir();          // without a trailing backslash
std::wstring TrimAtNul(const std::wstring& text);
std::wstring GetLogFilePath();         // GetWindowsDir() + "\VK_XP.log"
Status16 WriteAddedFolderRecord(std::wstring folderPath); // 1 written, 0 not
Bool16 EnableShutdownPrivilege();

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
