// Points entries of the utility's binding table at test doubles for the
// length of a scope; afterwards the entries bind to the real functions again.
#pragma once

#include "binding_table.h"

#include <windows.h>

#include <string>

namespace vktest {

template <typename Fn>
FARPROC AsBound(Fn function)
{
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(function));
}

class Rebound {
public:
    template <typename Fn>
    Rebound(Api entry, Fn function) : entry_(entry)
    {
        RebindForTest(entry, AsBound(function));
    }
    ~Rebound() { RebindForTest(entry_, nullptr); }
    Rebound(const Rebound&) = delete;
    Rebound& operator=(const Rebound&) = delete;

private:
    Api entry_;
};

// Text of the system ANSI code page (Shift-JIS) as UTF-16, and back.
inline std::wstring Wide(const std::string& ansi)
{
    if (ansi.empty())
        return std::wstring();
    std::wstring wide(MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()),
                                          nullptr, 0),
                      L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), &wide[0],
                        static_cast<int>(wide.size()));
    return wide;
}

inline std::string Ansi(const std::wstring& wide)
{
    if (wide.empty())
        return std::string();
    std::string ansi(WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, nullptr),
                     '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), &ansi[0],
                        static_cast<int>(ansi.size()), nullptr, nullptr);
    return ansi;
}

} // namespace vktest
