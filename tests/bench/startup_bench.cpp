// Time from process start to each program's first visible top-level window,
// median of RUNS starts of each:  startup_bench RUNS PROGRAM.exe...
// The programs start in turn, one start of each per round, so that a
// change in the machine's load weighs on all of them alike.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Search {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK MatchVisibleWindow(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<Search*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !IsWindowVisible(window))
        return TRUE;
    search->found = window;
    return FALSE;
}

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// One start; the seconds until the window shows, or a negative number.
double TimeOneStart(const std::string& program)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    std::string line = "\"" + program + "\"";
    LARGE_INTEGER start, shown;
    QueryPerformanceCounter(&start);
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info))
        return -1;
    Search search = {info.dwProcessId, nullptr};
    for (int i = 0; i < 20000 && search.found == nullptr; ++i) {
        EnumWindows(MatchVisibleWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found == nullptr)
            Sleep(1);
    }
    QueryPerformanceCounter(&shown);
    if (search.found != nullptr)
        PostMessageW(search.found, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(info.hProcess, 10000) != WAIT_OBJECT_0)
        TerminateProcess(info.hProcess, 1);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    return search.found != nullptr ? Seconds(start, shown) : -1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    const int runs = std::atoi(argv[1]);
    const int programs = argc - 2;
    std::vector<std::vector<double>> times(programs);
    for (int p = 0; p < programs; ++p)
        TimeOneStart(argv[2 + p]); // warm the caches once
    for (int i = 0; i < runs; ++i)
        for (int p = 0; p < programs; ++p) {
            const double seconds = TimeOneStart(argv[2 + p]);
            if (seconds < 0) {
                std::printf("%s: no window\n", argv[2 + p]);
                return 1;
            }
            times[p].push_back(seconds);
        }
    for (int p = 0; p < programs; ++p) {
        std::vector<double>& t = times[p];
        std::sort(t.begin(), t.end());
        const double median = runs % 2 ? t[runs / 2] : (t[runs / 2 - 1] + t[runs / 2]) / 2;
        std::printf("%s: window shown after %.0f ms (median of %d starts; min %.0f, max %.0f)\n",
                    argv[2 + p], median * 1000, runs, t.front() * 1000, t.back() * 1000);
    }
    return 0;
}
