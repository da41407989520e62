#include "history_view.h"

#include "ansi_argument.h"
#include "kernel_handle.h"

#include <windows.h>

std::wstring BuildHistoryText(const std::string& logBytes)
{
    static const wchar_t kAfterLine[] = L"\r\n\r\n";
    const std::wstring log = FromAnsi(logBytes.data(), logBytes.size());
    std::wstring text;
    text.reserve(log.size() * 2 + 4);
    size_t start = 0;
    while (start < log.size()) {
        size_t end = log.find(L'\r', start);
        if (end == std::wstring::npos)
            end = log.size();
        text.append(log, start, end - start).append(kAfterLine);
        start = end + 1;
        if (start < log.size() && log[start] == L'\n' && end < log.size())
            ++start;
    }
    return text;
}

bool ReadWholeFile(HANDLE file, std::string& bytes)
{
    bytes.clear();
    char chunk[65536];
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file, chunk, sizeof chunk, &read, nullptr))
            return false;
        if (read == 0)
            return true;
        bytes.append(chunk, read);
    }
}
