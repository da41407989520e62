// How the grant and the restore compute what an object inherits from its
// folder, the same way in both.
#pragma once

#include <windows.h>

// What the computation takes from the object's current descriptor.
const SECURITY_INFORMATION kCreatorParts =
    OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
// Inherited entries recomputed from the parent, explicit ones kept; the
// owner is whoever owns the object now, not someone the token may assign.
const ULONG kPropagation = SEF_DACL_AUTO_INHERIT | SEF_AVOID_OWNER_CHECK |
                           SEF_AVOID_PRIVILEGE_CHECK;
// Not const: CreatePrivateObjectSecurityEx takes it by a plain pointer.
inline GENERIC_MAPPING kFileMapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE,
                                       FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
