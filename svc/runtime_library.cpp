#include "runtime_library.h"

namespace {
// Constant-initialised: no guard code and no C++ runtime behind it.
const LibraryLoader kSystemLoader = {LoadLibraryA, GetProcAddress, FreeLibrary};
} // namespace

const LibraryLoader& SystemLoader()
{
    return kSystemLoader;
}
