// Puts a function of our own in place of one of Windows', in this process:
// for the test doubles that stand in for what Wine does not do.
#pragma once

#include <windows.h>

namespace vktest {

// Writes a jump to `replacement` over the first bytes of `function` (the
// address that GetProcAddress gives, forwarders followed, and so the code
// that every caller runs). False when `function` is null or cannot be written.
bool RedirectFunction(FARPROC function, const void* replacement);

} // namespace vktest
