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
