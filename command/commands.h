// The modes of VK_CMD.exe: each prints one line per folder (or per switch)
// and returns the exit code. A run-time error (VKSVC.dll or one of its
// exports missing) leaves them as an exception, for the program to report.
#pragma once

#include "console_output.h"

#include <string>

// The checks before any work, as the utility makes them before its window
// shows: Windows XP or later, an administrator, no other copy of the utility
// running. 0 when they pass; otherwise the refusal is printed and its exit
// code returned.
int RefusalBeforeWork(ConsoleOutput& out);

int GrantApplicationFoldersCommand(ConsoleOutput& out);
int GrantFolderCommand(ConsoleOutput& out, const std::wstring& folder);
int CheckApplicationFoldersCommand(ConsoleOutput& out);
int CheckFolderCommand(ConsoleOutput& out, const std::wstring& folder);
int FontSwitchCommand(ConsoleOutput& out, bool on);
// /restore: the kept backups, newest first; one by its name; the newest of a folder.
int ListBackupsCommand(ConsoleOutput& out);
int RestoreBackupCommand(ConsoleOutput& out, const std::wstring& file);
int RestoreNewestCommand(ConsoleOutput& out, const std::wstring& folder);
