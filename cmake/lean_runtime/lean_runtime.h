// Included before every source of the utility (GCC's -include).
//
// libstdc++ declares its std::string and std::wstring instantiations extern:
// a program then links the library's object that holds every member of the
// class, and the linker keeps all of them, since each one's unwind table is
// kept. Without the extern declaration each source instantiates the members
// it uses, and only those end up in the program. -1 is the library's own
// setting for this (it is what _GLIBCXX_ASSERTIONS uses), without the
// assertions.
#pragma once

#if defined(__GNUC__) && __has_include(<bits/c++config.h>)
#include <bits/c++config.h>
#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE -1
#endif
