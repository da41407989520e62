// A simple model of CreatePrivateObjectSecurityEx with SEF_DACL_AUTO_INHERIT
// for allow entries, put in place of Wine's, which gives no DACL.
#pragma once

#include <windows.h>

namespace vktest {

// Self-relative, in the process heap, where DestroyPrivateObjectSecurity frees it.
PSECURITY_DESCRIPTOR NewDescriptor(PACL dacl, SECURITY_DESCRIPTOR_CONTROL control, PSID owner,
                                   PSID group);

PACL DaclIn(PSECURITY_DESCRIPTOR descriptor);

// The creator's explicit entries, then what the parent's inheritable ones
// give this kind of object; owner and group the creator's.
PSECURITY_DESCRIPTOR ModelOfInheritance(PSECURITY_DESCRIPTOR parent, PSECURITY_DESCRIPTOR creator,
                                        bool isContainer);

// With the signature of CreatePrivateObjectSecurityEx.
BOOL WINAPI ModelCreatePrivateObjectSecurityEx(PSECURITY_DESCRIPTOR parent,
                                               PSECURITY_DESCRIPTOR creator,
                                               PSECURITY_DESCRIPTOR* made, GUID* objectType,
                                               BOOL isContainer, ULONG flags, HANDLE token,
                                               PGENERIC_MAPPING mapping);

} // namespace vktest
