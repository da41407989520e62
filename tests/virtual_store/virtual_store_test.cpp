// DelAppDataFile: the current user's VirtualStore copy of a file of the
// Windows directory, deleted so that the real file is read again.
#include "virtual_store.h"
#include "vksvc.h"

#include "test_support.h"

#include <doctest.h>

#include <cstring>

using namespace vktest;

namespace {

const char kIniName[] = "lw_dbe32.ini";
const size_t kPathBuffer = 520;

std::string VirtualStoreFolder() { return LocalAppData() + "\\VirtualStore\\Windows"; }
std::string CopyPath(const std::string& name) { return VirtualStoreFolder() + "\\" + name; }

// A VirtualStore copy made for one test and removed after it.
class VirtualStoreCopy {
public:
    explicit VirtualStoreCopy(const std::string& name = kIniName)
        : file_((MakeFolders(VirtualStoreFolder()), CopyPath(name)), "[DIR]\r\n")
    {
    }
    bool Exists() const { return PathExists(file_.Path()); }
    const std::string& Path() const { return file_.Path(); }

private:
    ScopedFile file_;
};

// Another program that holds a file open without sharing its deletion.
class FileHolder {
public:
    explicit FileHolder(const std::string& path)
        : holder_(ProgramPath("vs_hold_file.exe") + " \"" + path + "\"")
    {
        holding_ = holder_.ReadLine() == "held";
    }
    ~FileHolder() { Release(); }
    bool Holding() const { return holding_; }
    void Release()
    {
        holder_.CloseInput();
        holder_.Wait();
    }

private:
    ChildProcess holder_;
    bool holding_ = false;
};

// --- A Shell32.dll made up by the test ----------------------------------------

// What the made-up Shell32.dll does, and what the library asked of it.
struct FakeShell {
    bool loads = true;
    bool hasFunction = true;
    bool findsFolder = true;
    std::string folder = LocalAppData();

    std::string loadedName;
    std::string functionName;
    int folderQueries = 0;
    HWND owner = reinterpret_cast<HWND>(-1);
    int csidl = -1;
    BOOL create = -1;
    int releases = 0;
    HMODULE released = nullptr;
};

FakeShell g_shell;
const HMODULE kFakeShellModule = reinterpret_cast<HMODULE>(0x7E000000);

BOOL WINAPI FakeGetSpecialFolderPath(HWND owner, LPSTR path, int csidl, BOOL create)
{
    ++g_shell.folderQueries;
    g_shell.owner = owner;
    g_shell.csidl = csidl;
    g_shell.create = create;
    if (!g_shell.findsFolder)
        return FALSE;
    std::strcpy(path, g_shell.folder.c_str());
    return TRUE;
}

HMODULE WINAPI FakeLoad(LPCSTR name)
{
    g_shell.loadedName = name;
    return g_shell.loads ? kFakeShellModule : nullptr;
}

FARPROC WINAPI FakeLookup(HMODULE, LPCSTR name)
{
    g_shell.functionName = name;
    if (!g_shell.hasFunction)
        return nullptr;
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(FakeGetSpecialFolderPath));
}

BOOL WINAPI FakeRelease(HMODULE module)
{
    ++g_shell.releases;
    g_shell.released = module;
    return TRUE;
}

const LibraryLoader kFakeLoader = {FakeLoad, FakeLookup, FakeRelease};

// Runs DelAppDataFile's work with the made-up Shell32.dll set up by `shell`.
LONG DeleteWithFakeShell(const FakeShell& shell, const char* name = kIniName)
{
    g_shell = shell;
    return DeleteVirtualStoreCopy(kFakeLoader, name);
}

bool ReleasedOnce() { return g_shell.releases == 1 && g_shell.released == kFakeShellModule; }

// The local application-data folder spelt with "\." segments, so long that
// the copy's composed path is `length` characters long (without its
// terminating zero).
std::string FolderForCopyPathOf(size_t length)
{
    const size_t tail = std::strlen("\\VirtualStore\\Windows\\") + std::strlen(kIniName);
    std::string folder = LocalAppData();
    while (folder.size() + tail + 2 <= length)
        folder += "\\.";
    if (folder.size() + tail < length)
        folder += "\\";
    return folder;
}

} // namespace

TEST_SUITE("copies on disk")
{
    TEST_CASE("no copy: 0, and nothing is created")
    {
        RemoveTree(LocalAppData() + "\\VirtualStore");
        CHECK(DelAppDataFile(kIniName) == kNoCopy);
        CHECK_FALSE(PathExists(LocalAppData() + "\\VirtualStore"));
    }

    TEST_CASE("a copy is deleted (1), then there is none (0); its neighbours and the real file stay")
    {
        ScopedFile realFile(WindowsDir() + "\\" + kIniName, "[DIR]\r\n");
        VirtualStoreCopy copy;
        VirtualStoreCopy neighbour("QX_DBE32.ini");
        CHECK(DelAppDataFile(kIniName) == kCopyDeleted);
        CHECK_FALSE(copy.Exists());
        CHECK(DelAppDataFile(kIniName) == kNoCopy);
        CHECK(neighbour.Exists());
        CHECK(PathExists(realFile.Path()));
    }

    TEST_CASE("a copy held open by another program without shared deletion stays: -1")
    {
        VirtualStoreCopy copy;
        FileHolder holder(copy.Path());
        REQUIRE(holder.Holding());
        CHECK(DelAppDataFile(kIniName) == kDeleteFailed);
        CHECK(copy.Exists());
        holder.Release();
        CHECK(DelAppDataFile(kIniName) == kCopyDeleted);
    }

    TEST_CASE("a read-only copy stays: -1")
    {
        VirtualStoreCopy copy;
        REQUIRE(SetFileAttributesA(copy.Path().c_str(), FILE_ATTRIBUTE_READONLY));
        CHECK(DelAppDataFile(kIniName) == kDeleteFailed);
        CHECK(copy.Exists());
    }

    TEST_CASE("the name is matched without regard to letter case, as the file system does")
    {
        VirtualStoreCopy copy("lw_dbe32.ini");
        CHECK(DelAppDataFile("LW_DBE32.ini") == kCopyDeleted);
        CHECK_FALSE(copy.Exists());
    }
}

TEST_SUITE("Shell32.dll and the folder lookup")
{
    TEST_CASE("the folder is asked of SHGetSpecialFolderPathA in Shell32.dll: no owner, CSIDL_LOCAL_APPDATA, no creation")
    {
        CHECK(DeleteWithFakeShell(FakeShell()) == kNoCopy);
        CHECK(g_shell.loadedName == "Shell32.dll");
        CHECK(g_shell.functionName == "SHGetSpecialFolderPathA");
        CHECK(g_shell.folderQueries == 1);
        CHECK(g_shell.owner == nullptr);
        CHECK(g_shell.csidl == 0x1c);
        CHECK(g_shell.create == FALSE);
        CHECK(ReleasedOnce());
    }

    TEST_CASE("Shell32.dll does not load: -2, nothing else is asked and nothing released")
    {
        FakeShell shell;
        shell.loads = false;
        CHECK(DeleteWithFakeShell(shell) == kShellMissing);
        CHECK(g_shell.functionName.empty());
        CHECK(g_shell.releases == 0);
    }

    TEST_CASE("SHGetSpecialFolderPathA is missing: -3, Shell32.dll released")
    {
        FakeShell shell;
        shell.hasFunction = false;
        CHECK(DeleteWithFakeShell(shell) == kShellFunctionMissing);
        CHECK(ReleasedOnce());
    }

    TEST_CASE("the folder lookup fails: -4, the copy stays, Shell32.dll released")
    {
        VirtualStoreCopy copy;
        FakeShell shell;
        shell.findsFolder = false;
        CHECK(DeleteWithFakeShell(shell) == kAppDataUnknown);
        CHECK(copy.Exists());
        CHECK(ReleasedOnce());
    }

    TEST_CASE("Shell32.dll is released once after a deletion and after a failed one")
    {
        VirtualStoreCopy copy;
        {
            FileHolder holder(copy.Path());
            REQUIRE(holder.Holding());
            CHECK(DeleteWithFakeShell(FakeShell()) == kDeleteFailed);
            CHECK(ReleasedOnce());
        }
        CHECK(DeleteWithFakeShell(FakeShell()) == kCopyDeleted);
        CHECK(ReleasedOnce());
    }

    TEST_CASE("a copy path that would not fit in 520 bytes deletes nothing: -4")
    {
        VirtualStoreCopy copy;
        FakeShell shell;
        // "\." segments name the same folder: the path, were it not cut,
        // would name the copy.
        shell.folder = FolderForCopyPathOf(kPathBuffer);
        CHECK(DeleteWithFakeShell(shell) == kAppDataUnknown);
        CHECK(copy.Exists());
        CHECK(ReleasedOnce());

        shell.folder = FolderForCopyPathOf(kPathBuffer - 1);
        CHECK(DeleteWithFakeShell(shell) != kAppDataUnknown);
    }
}
