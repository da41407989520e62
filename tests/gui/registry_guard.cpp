#include "registry_guard.h"

#include <sddl.h>

namespace gui {

const char kFontKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\GRE_Initialize";
const char kFontValue[] = "Jpn98FixPitch";

ReadOnlyForEveryone::ReadOnlyForEveryone(const char* path)
    : key_(vktest::RegKey::Open(HKEY_LOCAL_MACHINE, path, READ_CONTROL | WRITE_DAC))
{
    DWORD size = 0;
    RegGetKeySecurity(key_.Get(), DACL_SECURITY_INFORMATION, nullptr, &size);
    saved_.resize(size);
    RegGetKeySecurity(key_.Get(), DACL_SECURITY_INFORMATION, saved_.data(), &size);
    PSECURITY_DESCRIPTOR readOnly = nullptr;
    ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;KR;;;WD)", SDDL_REVISION_1,
                                                         &readOnly, nullptr);
    RegSetKeySecurity(key_.Get(), DACL_SECURITY_INFORMATION, readOnly);
    LocalFree(readOnly);
}

ReadOnlyForEveryone::~ReadOnlyForEveryone()
{
    RegSetKeySecurity(key_.Get(), DACL_SECURITY_INFORMATION, saved_.data());
}

} // namespace gui
