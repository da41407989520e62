// The exports of VKSVC.dll: undecorated stdcall names, ANSI strings, 32-bit
// results. Every caller (the utility binds them by name at run time, the
// repair tool links two of them by ordinal) relies on these signatures.
#pragma once

#include <windows.h>

#ifdef VKSVC_BUILDING
#define VKSVC_API extern "C"
#else
#define VKSVC_API extern "C" __declspec(dllimport)
#endif

// Status of AddAccessRights and AddAccessRights_FULL.
enum GrantStatus : LONG {
    kGrantDone = 0,
    kGrantReadFailed = -1,      // missing, not opened, or its descriptor not read
    kGrantMergeFailed = -2,     // SetEntriesInAclA
    kGrantWriteFailed = -3,     // its DACL not written, or a file whose names the
                                // file system cannot tell; or an object below not
                                // opened (its open refused, or held by an oplock
                                // whose break is not acknowledged), checked, read,
                                // computed or written (one that vanished meanwhile
                                // excepted), the rest written
    kGrantNotFixedAclDrive = -4,
    kGrantApiMissing = -5,      // advapi32.dll, ntdll.dll or one of their functions;
                                // nothing written
    kGrantLinkRefused = -6,     // a link, a path through one, a hard-linked file, or
                                // a path that Windows reads as another name (a name
                                // on the way ending in a dot or a space): nothing
                                // written; or an object below left alone as a link
                                // or a file with another name, the rest written
                                // (wins over -3)
    kGrantBackupRefused = -7,   // the DACLs it would replace could not be kept: the
                                // backup folder is a link, has another owner than
                                // the administrators or lets others change it, or
                                // the backup could not be made; nothing written
};

// Status of DelAppDataFile.
enum VirtualStoreStatus : LONG {
    kCopyDeleted = 1,
    kNoCopy = 0,
    kDeleteFailed = -1,
    kShellMissing = -2,
    kShellFunctionMissing = -3,
    kAppDataUnknown = -4,
};

VKSVC_API LONG WINAPI AddAccessRights(LPCSTR folder, DWORD accessMask);
VKSVC_API LONG WINAPI bIsWindowsVersionOK(DWORD major9x, DWORD minor9x, DWORD majorNt,
                                          DWORD minorNt, DWORD servicePackNt);
VKSVC_API LONG WINAPI DoIExist(LPCSTR mutexName);
VKSVC_API LONG WINAPI bIsWindowsXP();
VKSVC_API LONG WINAPI AddAccessRights_FULL(LPCSTR folder);
VKSVC_API LONG WINAPI CheckVeskaFolder();
VKSVC_API LONG WINAPI SetVeskaFolder();
VKSVC_API LONG WINAPI ChkNetDrv(DWORD driveSelector, LPSTR message);
VKSVC_API LONG WINAPI DelAppDataFile(LPCSTR fileName);
VKSVC_API LONG WINAPI bIsWindows2003();
VKSVC_API LONG WINAPI bIsWindowsVista();
