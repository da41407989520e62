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
    CloseHandle, // the process tokens that basCommon opens
    GetTokenInformation,
    NtCreateFile, // the history log, opened without waiting on an oplock
    // Missing on some Windows that the utility runs on: bound with
    // BindIfPresent, never with Bind.
    IsWow64Process,           // XP SP2 and later
    SetDefaultDllDirectories, // Windows 8, or 7 and Vista with the 2011 loader update
    SetDllDirectoryW,         // XP SP1 and later
    ShutdownBlockReasonCreate, // Vista and later
    ShutdownBlockReasonDestroy,
    SetProcessMitigationPolicy, // Windows 8 and later
    // Bound with Bind, but only under WOW64: every 64-bit Windows has it.
    RegDeleteKeyExA,
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

// The entry's address, or null when its library or export is missing: for
// the functions that older Windows lack, where that is an answer and not an
// error. A missing entry is looked for once.
FARPROC BindIfPresent(Api entry);

// The entry's address as a function pointer of type Fn.
template <typename Fn>
Fn BoundFunction(Api entry)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(Bind(entry)));
}

// The same through BindIfPresent: null when the function is missing.
template <typename Fn>
Fn BoundFunctionIfPresent(Api entry)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(BindIfPresent(entry)));
}

// Seam for tests: makes an entry call `address` from now on, as if it had
// been bound to it (a double for ExitWindowsEx, say). A null address makes
// the entry unbound again: its next call binds it to the real function.
void RebindForTest(Api entry, FARPROC address);
// Seam for tests: makes BindIfPresent answer "missing" for the entry until
// the next RebindForTest of it.
void MarkMissingForTest(Api entry);
