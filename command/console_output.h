// The lines of VK_CMD.exe on standard output: to a console as UTF-16, so
// that every character shows; to a file or a pipe in the console's output
// code page, or the ANSI code page where there is no console (both 932 on
// Japanese Windows), with CR LF after each line.
#pragma once

#include <windows.h>

#include <string>

// How a folder stands, as the first word of its line: ASCII, for scripts.
enum class Outcome {
    Ok,    // done; for /check, nothing to do
    Error, // failed, refused, or cannot be checked
    Due,   // /check: a grant would change something
    Left,  // /check: a grant would leave something and end in an error
    Skip,  // not done, and not a failure: not on a local fixed NTFS drive
};

class ConsoleOutput {
public:
    ConsoleOutput();

    // "WORD<TAB>subject<TAB>text": subject a folder, or "-".
    void Report(Outcome outcome, const std::wstring& subject, const std::wstring& text);
    // A line as it is.
    void Line(const std::wstring& text);

private:
    HANDLE output_;
    bool isConsole_;
    UINT codePage_;
};
