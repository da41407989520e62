#pragma once

#include "runtime_library.h"

#include <windows.h>

// Adds two entries for the local group "Users" to a folder's DACL: the mask
// for the folder and its subfolders, GENERIC_ALL for the files below it;
// then passes them down to the objects below, as Windows' propagation would,
// leaving alone links and files that another name reaches. The security
// functions are bound from advapi32.dll, the file functions that open every
// object relative to its held folder from ntdll.dll, through `loader`.
LONG GrantUsersAccess(const LibraryLoader& loader, LPCSTR folder, DWORD accessMask);

// Whether `root` is the root of a local fixed drive that keeps persistent ACLs.
bool ChkAclDrive(const char* root);
