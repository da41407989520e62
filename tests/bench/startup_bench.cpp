// Time from process start to the program's first visible top-level window,
// median of RUNS starts (ten by default):  startup_bench PROGRAM.exe [RUNS]
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
    if (argc < 2)
        return 2;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 10;
    TimeOneStart(argv[1]); // warm the caches once
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double seconds = TimeOneStart(argv[1]);
        if (seconds < 0) {
            std::printf("%s: no window\n", argv[1]);
            return 1;
        }
        times.push_back(seconds);
    }
    std::sort(times.begin(), times.end());
    const double median = runs % 2 ? times[runs / 2] : (times[runs / 2 - 1] + times[runs / 2]) / 2;
    std::printf("%s: window shown after %.0f ms (median of %d starts; min %.0f, max %.0f)\n",
                argv[1], median * 1000, runs, times.front() * 1000, times.back() * 1000);
    return 0;
}
