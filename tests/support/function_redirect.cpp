#include "function_redirect.h"

namespace vktest {

bool RedirectFunction(FARPROC function, const void* replacement)
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

} // namespace vktest
