// Whole numbers as text, for what the programs show, print or name.
// Written out here rather than through user32's wsprintfW, which would make
// the console program load user32 (and so become a GUI process, with a
// desktop to connect to) for its digits, or std::to_wstring, which links the
// C runtime's whole printf machinery.
#pragma once

#include <string>

// `value` in `base` (10 or 16, upper-case digits), at least `width` digits
// with leading zeros, at most the 16 the buffer holds.
inline std::wstring UnsignedText(unsigned long value, unsigned base, int width = 1)
{
    wchar_t digits[16];
    wchar_t* const end = digits + sizeof digits / sizeof digits[0];
    wchar_t* start = end;
    do {
        *--start = L"0123456789ABCDEF"[value % base];
        value /= base;
    } while ((value != 0 || end - start < width) && start != digits);
    return std::wstring(start, end);
}

inline std::wstring DecimalText(long number)
{
    if (number >= 0)
        return UnsignedText(static_cast<unsigned long>(number), 10);
    return L"-" + UnsignedText(0ul - static_cast<unsigned long>(number), 10);
}
