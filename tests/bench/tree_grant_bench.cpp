// The grant of a whole tree against a bare walk of the same tree that opens
// each object once, without following links, and reads its file
// information. The grant runs with the real advapi32, but for
// CreatePrivateObjectSecurityEx, whose Wine version gives no DACL: the
// tests' model stands in for it, so that every object is really written.
// Beside it, the same grant without its backup, and a restore of the
// newest backup (the size of which it prints).
// usage: bench_tree_grant.exe RUNS FOLDER...   (each a tree)
// Each figure is the median of RUNS runs; under an emulated machine, where a
// run of a large tree takes minutes, 3 or 1. On the command line, since Wine
// does not hand VK_* variables to Windows programs under their own names.
#include "access_rights.h"
#include "bare_walk.h"
#include "dacl_restore.h"
#include "inheritance_model.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

FARPROC WINAPI LookupWithModel(HMODULE module, LPCSTR name)
{
    if (std::strcmp(name, "CreatePrivateObjectSecurityEx") == 0)
        return reinterpret_cast<FARPROC>(
            reinterpret_cast<void*>(vktest::ModelCreatePrivateObjectSecurityEx));
    return GetProcAddress(module, name);
}

const LibraryLoader kAdvapiWithModel = {LoadLibraryA, LookupWithModel, FreeLibrary};

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

class NewestBackup : public BackupVisitor {
public:
    void Backup(const BackupSummary& backup) override
    {
        if (name.empty())
            name = backup.name;
    }
    std::wstring name;
};

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    const int kRuns = argc > 1 ? std::atoi(argv[1]) : 0;
    if (kRuns < 1) {
        std::fprintf(stderr, "usage: bench_tree_grant.exe RUNS FOLDER...\n");
        return 87;
    }
    double firstPerObject = 0;
    double firstWalkPerObject = 0;
    for (int i = 2; i < argc; ++i) {
        const std::string folder = argv[i];
        const std::wstring wide = L"\\\\?\\" + std::wstring(folder.begin(), folder.end());
        std::vector<double> grants;
        std::vector<double> walks;
        std::vector<double> bare;     // grants without a backup
        std::vector<double> restores;
        RestoreCounts counts = {};
        LONG restored = 0;
        long objects = 0;
        LONG status = 0;
        for (int run = 0; run < kRuns; ++run) {
            LARGE_INTEGER start, middle, end;
            QueryPerformanceCounter(&start);
            objects = BareWalk(wide);
            QueryPerformanceCounter(&middle);
            status = GrantUsersAccess(kAdvapiWithModel, folder.c_str(), GENERIC_ALL);
            QueryPerformanceCounter(&end);
            walks.push_back(Milliseconds(start, middle));
            grants.push_back(Milliseconds(middle, end));
            QueryPerformanceCounter(&start);
            GrantUsersAccess(kAdvapiWithModel, folder.c_str(), GENERIC_ALL, KeptBackup::None);
            QueryPerformanceCounter(&middle);
            NewestBackup newest;
            ListBackups(kAdvapiWithModel, wide.substr(4).c_str(), newest);
            QueryPerformanceCounter(&end);
            restored = RestoreBackup(kAdvapiWithModel, newest.name.c_str(), counts);
            LARGE_INTEGER done;
            QueryPerformanceCounter(&done);
            bare.push_back(Milliseconds(start, middle));
            restores.push_back(Milliseconds(end, done));
        }
        NewestBackup newest;
        ListBackups(kAdvapiWithModel, wide.substr(4).c_str(), newest);
        WIN32_FILE_ATTRIBUTE_DATA backup = {};
        WCHAR windows[MAX_PATH];
        GetWindowsDirectoryW(windows, MAX_PATH);
        GetFileAttributesExW((std::wstring(windows) + L"\\VK_DACL\\" + newest.name).c_str(),
                             GetFileExInfoStandard, &backup);
        const double grant = Median(grants);
        const double walk = Median(walks);
        const double perObject = 1000.0 * grant / static_cast<double>(objects + 1);
        const double walkPerObject = 1000.0 * walk / static_cast<double>(objects);
        std::printf("%s: %ld objects below, status %ld; grant %.0f ms, bare walk %.0f ms "
                    "(medians of %d, alternating): grant/bare %.2f; %.0f us per object\n",
                    folder.c_str(), objects, status, grant, walk, kRuns, grant / walk, perObject);
        std::printf("  the grant keeping its backup %.0f ms, without one %.0f ms: %.2f times; "
                    "its backup %ld objects, %lu bytes (%.0f bytes an object); a restore of it "
                    "%.0f ms (status %ld, %ld put back, %ld new, %ld left, %ld failed): %.2f times "
                    "the grant\n",
                    grant, Median(bare), grant / Median(bare), counts.restored, backup.nFileSizeLow,
                    static_cast<double>(backup.nFileSizeLow) / (counts.restored ? counts.restored : 1),
                    Median(restores), restored, counts.restored, counts.added, counts.left,
                    counts.failed, Median(restores) / grant);
        if (i == 2) {
            firstPerObject = perObject;
            firstWalkPerObject = walkPerObject;
        } else {
            std::printf("cost per object here is %.2f times that of the first tree "
                        "(the bare walk's: %.2f times)\n",
                        perObject / firstPerObject, walkPerObject / firstWalkPerObject);
        }
    }
    return 0;
}
