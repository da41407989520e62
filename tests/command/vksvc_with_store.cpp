// VKSVC.dll for the command line's tests, never shipped: every export is the
// real library's (VKSVC_real.dll beside it, forwarded). Loaded, it makes the
// process's advapi32 do what Windows does and Wine does not: keep the DACL
// written to a file or folder, in C:\vk-dacl-store (so that a later process
// reads it back), and compute what an object inherits (the tests' model).
#include "function_redirect.h"
#include "inheritance_model.h"

#include <windows.h>

#include <string>
#include <vector>

namespace {

using QuerySecurityFn = LONG(NTAPI*)(HANDLE, SECURITY_INFORMATION, PSECURITY_DESCRIPTOR, ULONG,
                                     PULONG);

const char kStore[] = "C:\\vk-dacl-store";

// Whether a DACL can be in the store: it was there when the process began,
// or the process has written one. Otherwise no object is looked up in it,
// so that an audit of a tree nobody granted costs what it does on Windows.
bool storeInUse = false;

// The object's file in the store: its volume and index, as two names of
// one file share one DACL.
std::string StoreFileOf(HANDLE object)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(object, &info))
        return "";
    char name[64];
    wsprintfA(name, "\\%08lx-%08lx%08lx", info.dwVolumeSerialNumber, info.nFileIndexHigh,
              info.nFileIndexLow);
    return kStore + std::string(name);
}

// The stored control flags and DACL: two bytes, then the ACL.
bool ReadStored(HANDLE object, SECURITY_DESCRIPTOR_CONTROL& control, std::vector<BYTE>& dacl)
{
    if (!storeInUse)
        return false;
    const HANDLE file = CreateFileA(StoreFileOf(object).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::vector<BYTE> bytes(GetFileSize(file, nullptr));
    DWORD read = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    if (read != bytes.size() || bytes.size() < sizeof control + sizeof(ACL))
        return false;
    CopyMemory(&control, bytes.data(), sizeof control);
    dacl.assign(bytes.begin() + sizeof control, bytes.end());
    return true;
}

BOOL WINAPI StoreSecurity(HANDLE object, SECURITY_INFORMATION information,
                          PSECURITY_DESCRIPTOR descriptor)
{
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if ((information & DACL_SECURITY_INFORMATION) == 0 ||
        !GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) || !present ||
        dacl == nullptr || !GetSecurityDescriptorControl(descriptor, &control, &revision))
        return FALSE;
    CreateDirectoryA(kStore, nullptr);
    storeInUse = true;
    const HANDLE file = CreateFileA(StoreFileOf(object).c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    DWORD written = 0;
    const BOOL stored = WriteFile(file, &control, sizeof control, &written, nullptr) &&
                        WriteFile(file, dacl, dacl->AclSize, &written, nullptr);
    CloseHandle(file);
    return stored;
}

BOOL WINAPI ReadSecurity(HANDLE object, SECURITY_INFORMATION information,
                         PSECURITY_DESCRIPTOR descriptor, DWORD size, LPDWORD needed)
{
    static const QuerySecurityFn query = reinterpret_cast<QuerySecurityFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySecurityObject")));
    std::vector<BYTE> wine(4096);
    ULONG length = 0;
    if (query(object, information, wine.data(), static_cast<ULONG>(wine.size()), &length) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    std::vector<BYTE> dacl;
    PSECURITY_DESCRIPTOR answer = wine.data();
    PSECURITY_DESCRIPTOR made = nullptr;
    if ((information & DACL_SECURITY_INFORMATION) != 0 && ReadStored(object, control, dacl)) {
        PSID owner = nullptr;
        PSID group = nullptr;
        BOOL defaulted = FALSE;
        GetSecurityDescriptorOwner(wine.data(), &owner, &defaulted);
        GetSecurityDescriptorGroup(wine.data(), &group, &defaulted);
        answer = made = vktest::NewDescriptor(reinterpret_cast<PACL>(dacl.data()), control,
                                              owner, group);
    }
    *needed = GetSecurityDescriptorLength(answer);
    const bool fits = *needed <= size;
    if (fits)
        CopyMemory(descriptor, answer, *needed);
    if (made != nullptr)
        HeapFree(GetProcessHeap(), 0, made);
    if (!fits)
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return fits;
}

bool Redirect(HMODULE module, const char* name, const void* replacement)
{
    return vktest::RedirectFunction(GetProcAddress(module, name), replacement);
}

} // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    storeInUse = GetFileAttributesA(kStore) != INVALID_FILE_ATTRIBUTES;
    const HMODULE advapi = LoadLibraryA("advapi32.dll");
    return Redirect(advapi, "CreatePrivateObjectSecurityEx",
                    reinterpret_cast<const void*>(&vktest::ModelCreatePrivateObjectSecurityEx)) &&
           Redirect(advapi, "GetKernelObjectSecurity", reinterpret_cast<const void*>(&ReadSecurity)) &&
           Redirect(advapi, "SetKernelObjectSecurity", reinterpret_cast<const void*>(&StoreSecurity));
}
