// A simple model of what CreatePrivateObjectSecurityEx computes with
// SEF_DACL_AUTO_INHERIT, for the allow entries the grant deals in. Wine's
// returns a descriptor without a DACL, so the tests and the benchmark put
// this one in its place.
#pragma once

#include <windows.h>

namespace vktest {

// A self-relative descriptor in memory of the process heap, as
// CreatePrivateObjectSecurityEx hands it out (DestroyPrivateObjectSecurity
// frees it there).
PSECURITY_DESCRIPTOR NewDescriptor(PACL dacl, SECURITY_DESCRIPTOR_CONTROL control, PSID owner,
                                   PSID group);

// The descriptor's DACL, or null when it has none.
PACL DaclIn(PSECURITY_DESCRIPTOR descriptor);

// The creator's explicit entries, then what the parent's inheritable
// entries give this kind of object; owner and group the creator's.
PSECURITY_DESCRIPTOR ModelOfInheritance(PSECURITY_DESCRIPTOR parent, PSECURITY_DESCRIPTOR creator,
                                        bool isContainer);

// With the signature of CreatePrivateObjectSecurityEx.
BOOL WINAPI ModelCreatePrivateObjectSecurityEx(PSECURITY_DESCRIPTOR parent,
                                               PSECURITY_DESCRIPTOR creator,
                                               PSECURITY_DESCRIPTOR* made, GUID* objectType,
                                               BOOL isContainer, ULONG flags, HANDLE token,
                                               PGENERIC_MAPPING mapping);

} // namespace vktest
