// Removal of the current user's VirtualStore copy of a file of the Windows
// directory, so that the real file is read again.
#include "virtual_store.h"
#include "ansi_text.h"
#include "vksvc.h"

#include <io.h>


namespace {

using GetSpecialFolderPathFn = BOOL(WINAPI*)(HWND, LPSTR, int, BOOL);

const int kLocalAppData = 0x1c; // CSIDL_LOCAL_APPDATA
const size_t kPathBuffer = 520;
const int kExistenceOnly = 0;

} // namespace

LONG DeleteVirtualStoreCopy(const LibraryLoader& loader, LPCSTR fileName)
{
    char path[kPathBuffer] = {};
    LoadedLibrary shell(loader, "Shell32.dll");
    if (!shell.IsLoaded())
        return kShellMissing;
    const auto getFolder = shell.Function<GetSpecialFolderPathFn>("SHGetSpecialFolderPathA");
    if (getFolder == nullptr)
        return kShellFunctionMissing;
    if (!getFolder(nullptr, path, kLocalAppData, FALSE))
        return kAppDataUnknown;

    char copy[kPathBuffer];
    // A path cut short would name another file: delete nothing.
    if (!FormatInto(copy, sizeof copy, "%s\\VirtualStore\\Windows\\%s", path, fileName))
        return kAppDataUnknown;
    if (_access(copy, kExistenceOnly) != 0)
        return kNoCopy;
    return DeleteFileA(copy) ? kCopyDeleted : kDeleteFailed;
}

LONG WINAPI DelAppDataFile(LPCSTR fileName)
{
    return DeleteVirtualStoreCopy(SystemLoader(), fileName);
}
