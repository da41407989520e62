// Text crossing to an ANSI function (of Windows or of VKSVC.dll). The utility
// keeps its text as UTF-16; an argument crosses as a fresh zero-terminated
// buffer in the system ANSI code page, exactly as long as the converted text.
// The callee may write into it within that length.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

// `text` in the system ANSI code page.
std::string ToAnsi(const std::wstring& text);
// `length` bytes of ANSI text, zero bytes included, as UTF-16.
std::wstring FromAnsi(const char* bytes, std::size_t length);

// Whether `text` has an exact form in the system ANSI code page. Where it
// has none, Windows' best-fit conversion would name something else: in code
// page 932 U+00A5 (yen sign) becomes a backslash and "é" becomes "e", so
// C:\経理¥旧 would cross as the folder C:\経理\旧.
bool HasExactAnsiForm(const std::wstring& text);

// A text argument: converted for the call, dropped after it.
class AnsiText {
public:
    explicit AnsiText(const std::wstring& text);

    LPSTR Get() { return &bytes_[0]; }
    // The whole converted length (every byte the callee may have written,
    // zero bytes included) back as UTF-16.
    std::wstring ToWide() const;

private:
    std::vector<char> bytes_; // the converted text and one terminating zero
};

// A caller's string variable: converted for the call like AnsiText, and
// replaced afterwards, by WriteBack, with the whole buffer converted back.
class AnsiVariable {
public:
    explicit AnsiVariable(std::wstring& variable) : variable_(variable), text_(variable) {}

    LPSTR Get() { return text_.Get(); }
    void WriteBack() { variable_ = text_.ToWide(); }

private:
    std::wstring& variable_;
    AnsiText text_;
};
