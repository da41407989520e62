// vk_windows_inheritance.dll, for the demo and the GUI tests only, never
// shipped: loaded into the utility's process, it puts the model of
// CreatePrivateObjectSecurityEx in place of Wine's, which gives no DACL.
// So a grant of a folder with objects below ends there as on Windows.
#include "function_redirect.h"
#include "inheritance_model.h"

#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    // The address that GetProcAddress gives the library (forwarders
    // followed), and so the code it will run.
    const HMODULE advapi = LoadLibraryA("advapi32.dll");
    return vktest::RedirectFunction(
        GetProcAddress(advapi, "CreatePrivateObjectSecurityEx"),
        reinterpret_cast<const void*>(&vktest::ModelCreatePrivateObjectSecurityEx));
}
