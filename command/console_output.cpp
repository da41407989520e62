#include "console_output.h"

#include <vector>

namespace {

const wchar_t* const kWords[] = {L"OK", L"ERROR", L"DUE", L"LEFT", L"SKIP"};

} // namespace

ConsoleOutput::ConsoleOutput() : output_(GetStdHandle(STD_OUTPUT_HANDLE)), codePage_(0)
{
    DWORD mode = 0;
    isConsole_ = GetConsoleMode(output_, &mode) != 0;
    if (!isConsole_) {
        codePage_ = GetConsoleOutputCP();
        if (codePage_ == 0)
            codePage_ = GetACP();
    }
}

void ConsoleOutput::Report(Outcome outcome, const std::wstring& subject, const std::wstring& text)
{
    Line(std::wstring(kWords[static_cast<int>(outcome)]) + L"\t" + subject + L"\t" + text);
}

void ConsoleOutput::Line(const std::wstring& text)
{
    // Without an output (a start-up script's), the exit code says it all.
    if (output_ == nullptr || output_ == INVALID_HANDLE_VALUE)
        return;
    const std::wstring line = text + L"\r\n";
    DWORD written = 0;
    if (isConsole_) {
        WriteConsoleW(output_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        return;
    }
    const int length = WideCharToMultiByte(codePage_, 0, line.data(), static_cast<int>(line.size()),
                                           nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return;
    std::vector<char> bytes(length);
    WideCharToMultiByte(codePage_, 0, line.data(), static_cast<int>(line.size()), bytes.data(),
                        length, nullptr, nullptr);
    WriteFile(output_, bytes.data(), static_cast<DWORD>(length), &written, nullptr);
}
