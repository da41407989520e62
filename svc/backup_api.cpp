#include "backup_api.h"

#include <cstddef>

namespace {

#define VK_BOUND(name, member) {name, offsetof(BackupApi, member)}
const BoundFunction kAdvapiFunctions[] = {
    VK_BOUND("ConvertSecurityDescriptorToStringSecurityDescriptorW", toText),
    VK_BOUND("ConvertStringSecurityDescriptorToSecurityDescriptorW", fromText),
    VK_BOUND("OpenProcessToken", openProcessToken),
    VK_BOUND("GetTokenInformation", getTokenInformation),
    VK_BOUND("GetSecurityDescriptorOwner", getOwner),
};
const BoundFunction kNtdllFunctions[] = {
    VK_BOUND("NtFlushBuffersFile", flush),
};
#undef VK_BOUND

} // namespace

bool BackupApi::Bind(const LoadedLibrary& advapi, const LoadedLibrary& ntdll)
{
    return BindAll(advapi, this, kAdvapiFunctions) && BindAll(ntdll, this, kNtdllFunctions);
}
