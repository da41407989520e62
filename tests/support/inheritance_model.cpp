#include "inheritance_model.h"

#include <vector>

namespace vktest {

namespace {

const BYTE kNotInherited = 0xFF;

// What an entry of a parent's DACL becomes on a child.
BYTE InheritedFlags(BYTE flags, bool isContainer)
{
    const bool toFiles = (flags & OBJECT_INHERIT_ACE) != 0;
    const bool toFolders = (flags & CONTAINER_INHERIT_ACE) != 0;
    const bool onward = (flags & NO_PROPAGATE_INHERIT_ACE) == 0;
    if (!isContainer)
        return toFiles ? INHERITED_ACE : kNotInherited;
    if (toFolders)
        return onward ? (flags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE)) | INHERITED_ACE
                      : INHERITED_ACE;
    if (toFiles && onward)
        return OBJECT_INHERIT_ACE | INHERIT_ONLY_ACE | INHERITED_ACE;
    return kNotInherited;
}

} // namespace

PSECURITY_DESCRIPTOR NewDescriptor(PACL dacl, SECURITY_DESCRIPTOR_CONTROL control, PSID owner,
                                   PSID group)
{
    SECURITY_DESCRIPTOR absolute;
    InitializeSecurityDescriptor(&absolute, SECURITY_DESCRIPTOR_REVISION);
    if (dacl != nullptr)
        SetSecurityDescriptorDacl(&absolute, TRUE, dacl, FALSE);
    SetSecurityDescriptorOwner(&absolute, owner, FALSE);
    SetSecurityDescriptorGroup(&absolute, group, FALSE);
    SetSecurityDescriptorControl(&absolute, SE_DACL_AUTO_INHERITED | SE_DACL_PROTECTED, control);
    DWORD size = 0;
    MakeSelfRelativeSD(&absolute, nullptr, &size);
    void* block = HeapAlloc(GetProcessHeap(), 0, size);
    MakeSelfRelativeSD(&absolute, block, &size);
    return block;
}

PACL DaclIn(PSECURITY_DESCRIPTOR descriptor)
{
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
    return present ? dacl : nullptr;
}

PSECURITY_DESCRIPTOR ModelOfInheritance(PSECURITY_DESCRIPTOR parent, PSECURITY_DESCRIPTOR creator,
                                        bool isContainer)
{
    std::vector<BYTE> dacl(32768);
    PACL acl = reinterpret_cast<PACL>(dacl.data());
    InitializeAcl(acl, static_cast<DWORD>(dacl.size()), ACL_REVISION);
    const auto copy = [&](PACL from, bool inherited) {
        for (DWORD i = 0; from != nullptr && i < from->AceCount; ++i) {
            ACCESS_ALLOWED_ACE* ace = nullptr;
            GetAce(from, i, reinterpret_cast<void**>(&ace));
            const BYTE flags = ace->Header.AceFlags;
            if (!inherited && (flags & INHERITED_ACE) == 0)
                AddAccessAllowedAceEx(acl, ACL_REVISION, flags, ace->Mask, &ace->SidStart);
            if (inherited && InheritedFlags(flags, isContainer) != kNotInherited)
                AddAccessAllowedAceEx(acl, ACL_REVISION, InheritedFlags(flags, isContainer),
                                      ace->Mask, &ace->SidStart);
        }
    };
    copy(DaclIn(creator), false);
    copy(DaclIn(parent), true);
    PSID owner = nullptr;
    PSID group = nullptr;
    BOOL defaulted = FALSE;
    GetSecurityDescriptorOwner(creator, &owner, &defaulted);
    GetSecurityDescriptorGroup(creator, &group, &defaulted);
    return NewDescriptor(acl, SE_DACL_AUTO_INHERITED, owner, group);
}

BOOL WINAPI ModelCreatePrivateObjectSecurityEx(PSECURITY_DESCRIPTOR parent,
                                               PSECURITY_DESCRIPTOR creator,
                                               PSECURITY_DESCRIPTOR* made, GUID*,
                                               BOOL isContainer, ULONG, HANDLE,
                                               PGENERIC_MAPPING)
{
    *made = ModelOfInheritance(parent, creator, isContainer != FALSE);
    return *made != nullptr;
}

} // namespace vktest
