#include "security_api.h"

#include <cstddef>
#include <cstring>

namespace {

#define VK_BOUND(name, member) {name, offsetof(SecurityApi, member)}
const BoundFunction kFunctions[] = {
    VK_BOUND("GetKernelObjectSecurity", getObjectSecurity),
    VK_BOUND("BuildExplicitAccessWithNameA", buildExplicitAccess),
    VK_BOUND("SetEntriesInAclA", setEntriesInAcl),
    VK_BOUND("SetKernelObjectSecurity", setObjectSecurity),
    VK_BOUND("CreatePrivateObjectSecurityEx", createPrivateObjectSecurityEx),
    VK_BOUND("DestroyPrivateObjectSecurity", destroyPrivateObjectSecurity),
    VK_BOUND("InitializeSecurityDescriptor", initializeSecurityDescriptor),
    VK_BOUND("GetSecurityDescriptorDacl", getSecurityDescriptorDacl),
    VK_BOUND("SetSecurityDescriptorDacl", setSecurityDescriptorDacl),
    VK_BOUND("GetSecurityDescriptorControl", getSecurityDescriptorControl),
    VK_BOUND("SetSecurityDescriptorControl", setSecurityDescriptorControl),
};
#undef VK_BOUND

// A self-relative descriptor holds at most an owner, a group and two lists
// of at most 64 KB each.
const DWORD kLargestDescriptor = 3 * 65536;

} // namespace

bool SecurityApi::Bind(const LoadedLibrary& advapi)
{
    return BindAll(advapi, this, kFunctions);
}

DescriptorBuffer::~DescriptorBuffer()
{
    if (block_ != nullptr)
        HeapFree(GetProcessHeap(), 0, block_);
}

bool DescriptorBuffer::Grow(DWORD size)
{
    if (size <= size_)
        return true;
    if (size > kLargestDescriptor)
        return false;
    void* grown = HeapAlloc(GetProcessHeap(), 0, size);
    if (grown == nullptr)
        return false;
    if (block_ != nullptr)
        HeapFree(GetProcessHeap(), 0, block_);
    block_ = grown;
    size_ = size;
    return true;
}

bool DescriptorBuffer::Read(const SecurityApi& api, HANDLE object,
                            SECURITY_INFORMATION information)
{
    if (!Grow(1024))
        return false;
    for (;;) {
        DWORD needed = 0;
        if (api.getObjectSecurity(object, information, block_, size_, &needed))
            return true;
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= size_ || !Grow(needed))
            return false;
    }
}

PACL DaclOf(const SecurityApi& api, PSECURITY_DESCRIPTOR descriptor)
{
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    if (!api.getSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) || !present)
        return nullptr;
    return dacl;
}

bool SameEntries(PACL first, PACL second)
{
    if (first == nullptr || second == nullptr)
        return first == second;
    if (first->AceCount != second->AceCount)
        return false;
    // The entries follow the header, each as long as its own header says.
    const BYTE* one = reinterpret_cast<const BYTE*>(first + 1);
    const BYTE* other = reinterpret_cast<const BYTE*>(second + 1);
    for (WORD i = 0; i < first->AceCount; ++i) {
        const WORD size = reinterpret_cast<const ACE_HEADER*>(one)->AceSize;
        if (size != reinterpret_cast<const ACE_HEADER*>(other)->AceSize ||
            std::memcmp(one, other, size) != 0)
            return false;
        one += size;
        other += size;
    }
    return true;
}

DWORD FileRightsOf(DWORD mask)
{
    const struct {
        DWORD generic;
        DWORD specific;
    } kMapping[] = {
        {GENERIC_READ, FILE_GENERIC_READ},
        {GENERIC_WRITE, FILE_GENERIC_WRITE},
        {GENERIC_EXECUTE, FILE_GENERIC_EXECUTE},
        {GENERIC_ALL, FILE_ALL_ACCESS},
    };
    DWORD rights = mask;
    for (const auto& entry : kMapping)
        if ((mask & entry.generic) != 0)
            rights = (rights & ~entry.generic) | entry.specific;
    return rights;
}
