// The functions that keeping and restoring DACLs needs besides the grant's:
// the text form of a DACL (SDDL, which Windows 2000 already has), the token
// of the administrator who runs it, and the flush that puts an entry on the
// disk. Bound by name at run time through the loader seam, as the grant's
// are, so that neither VKSVC.dll nor VK_CMD.exe imports advapi32.
#pragma once

#include "runtime_library.h"

#include <windows.h>
#include <winternl.h>

struct BackupApi {
    using ToTextFn = BOOL(WINAPI*)(PSECURITY_DESCRIPTOR, DWORD, SECURITY_INFORMATION, LPWSTR*,
                                   PULONG);
    using FromTextFn = BOOL(WINAPI*)(LPCWSTR, DWORD, PSECURITY_DESCRIPTOR*, PULONG);
    using OpenProcessTokenFn = BOOL(WINAPI*)(HANDLE, DWORD, PHANDLE);
    using GetTokenInformationFn = BOOL(WINAPI*)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD,
                                                PDWORD);
    using GetOwnerFn = BOOL(WINAPI*)(PSECURITY_DESCRIPTOR, PSID*, LPBOOL);
    using FlushFn = LONG(NTAPI*)(HANDLE, PIO_STATUS_BLOCK);

    ToTextFn toText;     // ConvertSecurityDescriptorToStringSecurityDescriptorW
    FromTextFn fromText; // ConvertStringSecurityDescriptorToSecurityDescriptorW
    OpenProcessTokenFn openProcessToken;
    GetTokenInformationFn getTokenInformation;
    GetOwnerFn getOwner; // GetSecurityDescriptorOwner
    FlushFn flush; // NtFlushBuffersFile

    // False when one of them is missing.
    bool Bind(const LoadedLibrary& advapi, const LoadedLibrary& ntdll);
};

// Memory that a security function allocated with LocalAlloc for its caller.
template <typename T>
class LocalMemory {
public:
    LocalMemory() = default;
    ~LocalMemory()
    {
        if (block_ != nullptr)
            LocalFree(block_);
    }
    LocalMemory(const LocalMemory&) = delete;
    LocalMemory& operator=(const LocalMemory&) = delete;
    T* Receive() { return &block_; }
    T Get() const { return block_; }

private:
    T block_ = nullptr;
};
