// VK_CMD.exe against its yardsticks, medians of RUNS, the programs in turn:
// its start-up (to its exit, with /? and with /check on a PC without the
// applications) beside a console program that does nothing, and its audit
// of a tree beside a bare walk of the same tree, and the peak of its working
// set over that tree beside the same on an empty folder. VK_CMD.exe runs
// beside the tests' VKSVC.dll that computes what is inherited, as Windows does.
// usage: bench_command.exe RUNS TREE
#include "bare_walk.h"

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

const std::string kTools = "C:\\vk\\command_double";

double Milliseconds(const std::function<void()>& work)
{
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    work();
    QueryPerformanceCounter(&end);
    return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

// Runs a command line to its end, its output to NUL; its exit code. With
// `peak`, the largest working set it had, asked while it runs (Wine answers
// only for a live process).
DWORD Run(std::string line, SIZE_T* peak = nullptr)
{
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    const HANDLE nul = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inheritable,
                                   OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = nul;
    PROCESS_INFORMATION info = {};
    DWORD code = 0xFFFFFFFF;
    if (CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                       &info)) {
        PROCESS_MEMORY_COUNTERS counters = {};
        counters.cb = sizeof counters;
        while (peak != nullptr && WaitForSingleObject(info.hProcess, 2) == WAIT_TIMEOUT)
            if (GetProcessMemoryInfo(info.hProcess, &counters, sizeof counters))
                *peak = std::max(*peak, counters.PeakWorkingSetSize);
        WaitForSingleObject(info.hProcess, INFINITE);
        GetExitCodeProcess(info.hProcess, &code);
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }
    CloseHandle(nul);
    return code;
}

struct Contender {
    const char* name;
    std::function<void()> work;
    std::vector<double> times;
};

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void Race(int runs, std::vector<Contender>& contenders)
{
    for (Contender& contender : contenders)
        contender.work(); // warm the caches once
    for (int i = 0; i < runs; ++i)
        for (Contender& contender : contenders)
            contender.times.push_back(Milliseconds(contender.work));
    for (const Contender& contender : contenders)
        std::printf("%-40s %8.0f ms  (%.2f times the first)\n", contender.name,
                    Median(contender.times), Median(contender.times) / Median(contenders[0].times));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    const int runs = std::atoi(argv[1]);
    const std::string tree = argv[2];
    CreateDirectoryA(kTools.c_str(), nullptr);
    CopyFileA("C:\\vk\\VK_CMD.exe", (kTools + "\\VK_CMD.exe").c_str(), FALSE);
    CopyFileA("C:\\vk\\VKSVC.dll", (kTools + "\\VKSVC_real.dll").c_str(), FALSE);
    const std::string command = "\"" + kTools + "\\VK_CMD.exe\" ";

    std::printf("start-up to exit, median of %d:\n", runs);
    std::vector<Contender> startups = {
        {"minimal_console.exe", [] { Run("C:\\vk\\minimal_console.exe"); }, {}},
        {"VK_CMD.exe /?", [&] { Run(command + "/?"); }, {}},
        {"VK_CMD.exe /check (no applications)", [&] { Run(command + "/check"); }, {}},
    };
    Race(runs, startups);

    const std::wstring wide = L"\\\\?\\" + std::wstring(tree.begin(), tree.end());
    std::printf("%s: %ld objects below; median of %d:\n", tree.c_str(), BareWalk(wide), runs);
    DWORD checked = 0;
    std::vector<Contender> audits = {
        {"bare walk", [&] { BareWalk(wide); }, {}},
        {"VK_CMD.exe /check TREE", [&] { checked = Run(command + "/check \"" + tree + "\""); }, {}},
    };
    Race(runs, audits);
    std::printf("VK_CMD.exe /check exited with %lu\n", checked);

    const std::string empty = "C:\\vk-bench\\empty";
    CreateDirectoryA(empty.c_str(), nullptr);
    SIZE_T overTree = 0, overEmpty = 0;
    Run(command + "/check \"" + empty + "\"", &overEmpty);
    Run(command + "/check \"" + tree + "\"", &overTree);
    std::printf("peak working set of VK_CMD.exe /check: %lu KB over an empty folder, %lu KB "
                "over the tree (%.2f times; %.1f bytes more per object)\n",
                static_cast<unsigned long>(overEmpty / 1024),
                static_cast<unsigned long>(overTree / 1024),
                static_cast<double>(overTree) / static_cast<double>(overEmpty),
                static_cast<double>(overTree - overEmpty) / static_cast<double>(BareWalk(wide)));
    return 0;
}
