#include "ansi_argument.h"

namespace {

int AnsiLength(const std::wstring& text)
{
    if (text.empty())
        return 0;
    return WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr,
                               0, nullptr, nullptr);
}

} // namespace

std::string ToAnsi(const std::wstring& text)
{
    std::string ansi(AnsiLength(text), '\0');
    if (!ansi.empty())
        WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &ansi[0],
                            static_cast<int>(ansi.size()), nullptr, nullptr);
    return ansi;
}

std::wstring FromAnsi(const char* bytes, std::size_t length)
{
    if (length == 0)
        return std::wstring();
    const int ansiLength = static_cast<int>(length);
    std::wstring wide(MultiByteToWideChar(CP_ACP, 0, bytes, ansiLength, nullptr, 0), L'\0');
    if (!wide.empty())
        MultiByteToWideChar(CP_ACP, 0, bytes, ansiLength, &wide[0],
                            static_cast<int>(wide.size()));
    return wide;
}

bool HasExactAnsiForm(const std::wstring& text)
{
    if (text.empty())
        return true;
    // UTF-8 as the ANSI code page takes neither the flag nor the default
    // character; there the way back alone decides.
    const bool utf8 = GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultOut = utf8 ? nullptr : &usedDefault;
    const int wideLength = static_cast<int>(text.size());
    const int ansiLength = WideCharToMultiByte(CP_ACP, flags, text.data(), wideLength, nullptr,
                                               0, nullptr, nullptr);
    if (ansiLength == 0)
        return false;
    std::string ansi(ansiLength, '\0');
    WideCharToMultiByte(CP_ACP, flags, text.data(), wideLength, &ansi[0], ansiLength, nullptr,
                        usedDefaultOut);
    // The way back catches what the default character does not: a text
    // that converts without it and still does not return as itself.
    return !usedDefault && FromAnsi(ansi.data(), ansi.size()) == text;
}

AnsiText::AnsiText(const std::wstring& text)
{
    const std::string ansi = ToAnsi(text);
    bytes_.assign(ansi.begin(), ansi.end());
    bytes_.push_back('\0');
}

std::wstring AnsiText::ToWide() const
{
    return FromAnsi(bytes_.data(), bytes_.size() - 1);
}
