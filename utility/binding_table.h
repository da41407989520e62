// Every function that the utility calls outside itself, as one table of
// (library file, exported name, cached address). An entry is bound at its
// first call with the normal library search and kept for the life of the
// process; a library once loaded stays loaded.
#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>

enum class Api {
    SetVeskaFolder,
    CheckVeskaFolder,
    AddAccessRights,
    bIsWindowsVersionOK,
    DoIExist,
    ChkNetDrv,
    DelAppDataFile,
    ExitWindowsEx,
    OpenProcessToken,
    LookupPrivilegeValueA,
    AdjustTokenPrivileges,
    RegOpenKeyExA,
    RegCreateKeyExA,
    RegQueryValueExA,
    RegSetValueExA,
    RegDeleteValueA,
    RegDeleteKeyA,
    RegCloseKey,
    GetCurrentProcess,
    GetVersionExA,
    WritePrivateProfileStringA,
    GetWindowsDirectoryA,
    CloseHandle, // the process token that EnableShutdownPrivilege opens
    Count
};

// The run-time error of a call whose library or export cannot be bound.
class BindingError : public std::runtime_error {
public:
    enum Kind { kFileNotFound, kEntryPointNotFound };
    BindingError(Kind kind, const char* library, const char* exportName);
    Kind kind() const { return kind_; }
    const std::string& library() const { return library_; }
    const std::string& exportName() const { return export_; }

private:
    Kind kind_;
    std::string library_;
    std::string export_;
};

// The entry's address, bound now if this is its first call.
FARPROC Bind(Api entry);

// The entry's address as a function pointer of type Fn.
template <typename Fn>
Fn BoundFunction(Api entry)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(Bind(entry)));
}

// Seam for tests: makes an entry call `address` from now on, as if it had
// been bound to it (a double for ExitWindowsEx, say). A null address makes
// the entry unbound again: its next call binds it to the real function.
void RebindForTest(Api entry, FARPROC address);
