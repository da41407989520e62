// The advapi32 security functions that the grant uses, bound by name at run
// time through the loader seam, all at once before anything is written: a
// missing one ends the grant before any DACL has changed.
#pragma once

#include "runtime_library.h"

#include <aclapi.h>

struct SecurityApi {
    using GetKernelObjectSecurityFn = BOOL(WINAPI*)(HANDLE, SECURITY_INFORMATION,
                                                    PSECURITY_DESCRIPTOR, DWORD, LPDWORD);
    using SetKernelObjectSecurityFn = BOOL(WINAPI*)(HANDLE, SECURITY_INFORMATION,
                                                    PSECURITY_DESCRIPTOR);
    using BuildExplicitAccessFn = VOID(WINAPI*)(PEXPLICIT_ACCESS_A, LPSTR, DWORD, ACCESS_MODE,
                                                DWORD);
    using SetEntriesInAclFn = DWORD(WINAPI*)(ULONG, PEXPLICIT_ACCESS_A, PACL, PACL*);
    using CreatePrivateObjectSecurityExFn = BOOL(WINAPI*)(PSECURITY_DESCRIPTOR,
                                                          PSECURITY_DESCRIPTOR,
                                                          PSECURITY_DESCRIPTOR*, GUID*, BOOL,
                                                          ULONG, HANDLE, PGENERIC_MAPPING);
    using DestroyPrivateObjectSecurityFn = BOOL(WINAPI*)(PSECURITY_DESCRIPTOR*);
    using InitializeSecurityDescriptorFn = BOOL(WINAPI*)(PSECURITY_DESCRIPTOR, DWORD);
    using GetSecurityDescriptorDaclFn = BOOL(WINAPI*)(PSECURITY_DESCRIPTOR, LPBOOL, PACL*,
                                                      LPBOOL);
    using SetSecurityDescriptorDaclFn = BOOL(WINAPI*)(PSECURITY_DESCRIPTOR, BOOL, PACL, BOOL);
    using GetSecurityDescriptorControlFn = BOOL(WINAPI*)(PSECURITY_DESCRIPTOR,
                                                         PSECURITY_DESCRIPTOR_CONTROL, LPDWORD);
    using SetSecurityDescriptorControlFn = BOOL(WINAPI*)(PSECURITY_DESCRIPTOR,
                                                         SECURITY_DESCRIPTOR_CONTROL,
                                                         SECURITY_DESCRIPTOR_CONTROL);

    GetKernelObjectSecurityFn getObjectSecurity;
    BuildExplicitAccessFn buildExplicitAccess;
    SetEntriesInAclFn setEntriesInAcl;
    SetKernelObjectSecurityFn setObjectSecurity;
    CreatePrivateObjectSecurityExFn createPrivateObjectSecurityEx;
    DestroyPrivateObjectSecurityFn destroyPrivateObjectSecurity;
    InitializeSecurityDescriptorFn initializeSecurityDescriptor;
    GetSecurityDescriptorDaclFn getSecurityDescriptorDacl;
    SetSecurityDescriptorDaclFn setSecurityDescriptorDacl;
    GetSecurityDescriptorControlFn getSecurityDescriptorControl;
    SetSecurityDescriptorControlFn setSecurityDescriptorControl;

    // False when one of them is missing from the library.
    bool Bind(const LoadedLibrary& advapi);
};

// A descriptor that the object security functions read into: grown when
// the platform asks for more, and reused from one object to the next.
class DescriptorBuffer {
public:
    DescriptorBuffer() = default;
    ~DescriptorBuffer();
    DescriptorBuffer(const DescriptorBuffer&) = delete;
    DescriptorBuffer& operator=(const DescriptorBuffer&) = delete;

    // Reads the parts `information` names of the object's descriptor.
    bool Read(const SecurityApi& api, HANDLE object, SECURITY_INFORMATION information);
    PSECURITY_DESCRIPTOR Get() const { return block_; }

private:
    bool Grow(DWORD size);

    void* block_ = nullptr;
    DWORD size_ = 0;
};

// The DACL of a descriptor, or null when it has none or a NULL one (which
// would grant everyone everything).
PACL DaclOf(const SecurityApi& api, PSECURITY_DESCRIPTOR descriptor);

// Whether two DACLs hold the same entries in the same order; two missing
// ones are the same.
bool SameEntries(PACL first, PACL second);

// `mask` with its generic rights replaced by the file rights they stand for.
DWORD FileRightsOf(DWORD mask);
