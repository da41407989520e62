// vk_windows_inheritance.dll, for the demo and the GUI tests only, never
// shipped: loaded into the utility's process, it puts the model of
// CreatePrivateObjectSecurityEx in place of Wine's, which gives no DACL.
// So a grant of a folder with objects below ends there as on Windows.
#include "inheritance_model.h"

#include <windows.h>

namespace {

// A jump to `replacement` over the first bytes of `function`.
bool Redirect(FARPROC function, const void* replacement)
{
    BYTE* code = reinterpret_cast<BYTE*>(function);
    const BYTE* target = static_cast<const BYTE*>(replacement);
    DWORD protection = 0;
    if (code == nullptr || !VirtualProtect(code, 5, PAGE_EXECUTE_READWRITE, &protection))
        return false;
    code[0] = 0xE9; // jmp rel32
    const LONG offset = static_cast<LONG>(target - (code + 5));
    CopyMemory(code + 1, &offset, sizeof offset);
    VirtualProtect(code, 5, protection, &protection);
    FlushInstructionCache(GetCurrentProcess(), code, 5);
    return true;
}

} // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    // The address that GetProcAddress gives the library (forwarders
    // followed), and so the code it will run.
    const HMODULE advapi = LoadLibraryA("advapi32.dll");
    return Redirect(GetProcAddress(advapi, "CreatePrivateObjectSecurityEx"),
                    reinterpret_cast<const void*>(&vktest::ModelCreatePrivateObjectSecurityEx));
}
