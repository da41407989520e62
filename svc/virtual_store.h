#pragma once

#include "runtime_library.h"

#include <windows.h>

// Deletes the current user's VirtualStore copy of `fileName`, a file of the
// Windows directory; SHGetSpecialFolderPathA is bound from Shell32.dll
// through `loader`. Returns a VirtualStoreStatus.
LONG DeleteVirtualStoreCopy(const LibraryLoader& loader, LPCSTR fileName);
