// Time to build the history view's text from a 10,000-line log.
#include "history_log_format.h"
#include "history_view.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string MakeLog(int lines)
{
    std::string log = VK_HISTORY_SECTION_LINE;
    for (int i = 0; i < lines; ++i)
        log += "C:\\VESKA\\データ\\フォルダ" + std::to_string(i) + "=財務OrvikVasto\r\n";
    return log;
}

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

} // namespace

int main()
{
    const int kLines = 10000;
    const std::string log = MakeLog(kLines);
    double best = 1e9;
    size_t length = 0;
    for (int run = 0; run < 5; ++run) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        length = BuildHistoryText(log).size();
        QueryPerformanceCounter(&end);
        best = std::min(best, Milliseconds(start, end));
    }
    std::printf("history text: %d log lines (%u bytes) -> %u characters in %.2f ms (best of 5)\n",
                kLines + 1, static_cast<unsigned>(log.size()), static_cast<unsigned>(length), best);
    return 0;
}
