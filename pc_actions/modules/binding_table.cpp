#include "binding_table.h"

#include <cstddef>

namespace {

constexpr char kServiceLibrary[] = "VKSVC.dll";
constexpr char kUser[] = "user32";
constexpr char kAdvapi[] = "advapi32.dll";
constexpr char kKernel[] = "kernel32";

struct Entry {
    Api api;
    const char* library; // passed to LoadLibraryA exactly as written
    const char* exportName;
};

constexpr Entry kEntries[] = {
    {Api::SetVeskaFolder, kServiceLibrary, "SetVeskaFolder"},
    {Api::CheckVeskaFolder, kServiceLibrary, "CheckVeskaFolder"},
    {Api::AddAccessRights, kServiceLibrary, "AddAccessRights"},
    {Api::bIsWindowsVersionOK, kServiceLibrary, "bIsWindowsVersionOK"},
    {Api::DoIExist, kServiceLibrary, "DoIExist"},
    {Api::ChkNetDrv, kServiceLibrary, "ChkNetDrv"},
    {Api::DelAppDataFile, kServiceLibrary, "DelAppDataFile"},
    {Api::ExitWindowsEx, kUser, "ExitWindowsEx"},
    {Api::OpenProcessToken, kAdvapi, "OpenProcessToken"},
    {Api::LookupPrivilegeValueA, kAdvapi, "LookupPrivilegeValueA"},
    {Api::AdjustTokenPrivileges, kAdvapi, "AdjustTokenPrivileges"},
    {Api::RegOpenKeyExA, kAdvapi, "RegOpenKeyExA"},
    {Api::RegCreateKeyExA, kAdvapi, "RegCreateKeyExA"},
    {Api::RegQueryValueExA, kAdvapi, "RegQueryValueExA"},
    {Api::RegSetValueExA, kAdvapi, "RegSetValueExA"},
    {Api::RegDeleteValueA, kAdvapi, "RegDeleteValueA"},
    {Api::RegDeleteKeyA, kAdvapi, "RegDeleteKeyA"},
    {Api::RegCloseKey, kAdvapi, "RegCloseKey"},
    {Api::GetCurrentProcess, kKernel, "GetCurrentProcess"},
    {Api::GetVersionExA, kKernel, "GetVersionExA"},
    {Api::WritePrivateProfileStringA, kKernel, "WritePrivateProfileStringA"},
    {Api::GetWindowsDirectoryA, kKernel, "GetWindowsDirectoryA"},
    {Api::CloseHandle, kKernel, "CloseHandle"},
    {Api::GetTokenInformation, kAdvapi, "GetTokenInformation"},
    {Api::NtCreateFile, "ntdll.dll", "NtCreateFile"},
    {Api::IsWow64Process, kKernel, "IsWow64Process"},
    {Api::SetDefaultDllDirectories, kKernel, "SetDefaultDllDirectories"},
    {Api::SetDllDirectoryW, kKernel, "SetDllDirectoryW"},
    {Api::ShutdownBlockReasonCreate, kUser, "ShutdownBlockReasonCreate"},
    {Api::ShutdownBlockReasonDestroy, kUser, "ShutdownBlockReasonDestroy"},
    {Api::SetProcessMitigationPolicy, kKernel, "SetProcessMitigationPolicy"},
    {Api::RegDeleteKeyExA, kAdvapi, "RegDeleteKeyExA"},
};

constexpr std::size_t kEntryCount = static_cast<std::size_t>(Api::Count);

constexpr bool EveryEntryInItsPlace()
{
    if (sizeof kEntries / sizeof kEntries[0] != kEntryCount)
        return false;
    for (std::size_t i = 0; i < kEntryCount; ++i)
        if (static_cast<std::size_t>(kEntries[i].api) != i)
            return false;
    return true;
}
static_assert(EveryEntryInItsPlace(), "one entry per Api value, in the order of Api");

// The resolved addresses; null until an entry's first call.
FARPROC addresses[kEntryCount] = {};
// Entries that BindIfPresent looked for and did not find.
bool missing[kEntryCount] = {};

std::string DescribeFailure(BindingError::Kind kind, const char* library, const char* exportName)
{
    if (kind == BindingError::kFileNotFound)
        return std::string("file not found: ") + library + " (calling " + exportName + ")";
    return std::string("entry point ") + exportName + " not found in " + library;
}

// Loads the entry's library (never to be freed) and looks the export up;
// null when either is missing.
FARPROC TryResolve(const Entry& entry, BindingError::Kind* failure)
{
    HMODULE library = LoadLibraryA(entry.library);
    if (library == nullptr) {
        *failure = BindingError::kFileNotFound;
        return nullptr;
    }
    *failure = BindingError::kEntryPointNotFound;
    return GetProcAddress(library, entry.exportName);
}

FARPROC Resolve(const Entry& entry)
{
    BindingError::Kind failure;
    FARPROC address = TryResolve(entry, &failure);
    if (address == nullptr)
        throw BindingError(failure, entry.library, entry.exportName);
    return address;
}

} // namespace

BindingError::BindingError(Kind kind, const char* library, const char* exportName)
    : std::runtime_error(DescribeFailure(kind, library, exportName)), kind_(kind),
      library_(library), export_(exportName)
{
}

FARPROC Bind(Api entry)
{
    const std::size_t at = static_cast<std::size_t>(entry);
    if (addresses[at] == nullptr)
        addresses[at] = Resolve(kEntries[at]);
    return addresses[at];
}

FARPROC BindIfPresent(Api entry)
{
    const std::size_t at = static_cast<std::size_t>(entry);
    if (addresses[at] == nullptr && !missing[at]) {
        BindingError::Kind ignored;
        addresses[at] = TryResolve(kEntries[at], &ignored);
        missing[at] = addresses[at] == nullptr;
    }
    return addresses[at];
}

void RebindForTest(Api entry, FARPROC address)
{
    addresses[static_cast<std::size_t>(entry)] = address;
    missing[static_cast<std::size_t>(entry)] = false;
}

void MarkMissingForTest(Api entry)
{
    addresses[static_cast<std::size_t>(entry)] = nullptr;
    missing[static_cast<std::size_t>(entry)] = true;
}
