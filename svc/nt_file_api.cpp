#include "nt_file_api.h"

namespace {

#define VK_BOUND(name, member) {name, offsetof(FileApi, member)}
const BoundFunction kFunctions[] = {
    VK_BOUND("NtCreateFile", createFile),
    VK_BOUND("NtQueryDirectoryFile", queryDirectory),
    VK_BOUND("NtQueryInformationFile", queryInformation),
};
#undef VK_BOUND

} // namespace

bool FileApi::Bind(const LoadedLibrary& ntdll)
{
    return BindAll(ntdll, this, kFunctions);
}
