// Calls one export of VKSVC.dll, bound by name, and prints its result:
//   vksvc_call EXPORT [ARG...] [--hold]
// An ARG is a number (decimal or 0x...) or, prefixed with "s:", a string.
// With --hold the program waits, after printing, until its standard input
// closes: a test keeps what the call created (a mutex) alive that long.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Arg = DWORD;
using Call0 = LONG(WINAPI*)();
using Call1 = LONG(WINAPI*)(Arg);
using Call2 = LONG(WINAPI*)(Arg, Arg);
using Call5 = LONG(WINAPI*)(Arg, Arg, Arg, Arg, Arg);

LONG Invoke(FARPROC function, const std::vector<Arg>& a)
{
    void* raw = reinterpret_cast<void*>(function);
    switch (a.size()) {
    case 0: return reinterpret_cast<Call0>(raw)();
    case 1: return reinterpret_cast<Call1>(raw)(a[0]);
    case 2: return reinterpret_cast<Call2>(raw)(a[0], a[1]);
    case 5: return reinterpret_cast<Call5>(raw)(a[0], a[1], a[2], a[3], a[4]);
    default: std::printf("unsupported argument count\n"); std::exit(2);
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    HMODULE library = LoadLibraryA("VKSVC.dll");
    FARPROC function = library ? GetProcAddress(library, argv[1]) : nullptr;
    if (function == nullptr) {
        std::printf("missing %s\n", argv[1]);
        return 2;
    }
    std::vector<std::string> strings;
    strings.reserve(argc);
    std::vector<Arg> args;
    bool hold = false;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--hold") == 0) {
            hold = true;
        } else if (std::strncmp(argv[i], "s:", 2) == 0) {
            strings.emplace_back(argv[i] + 2);
            args.push_back(reinterpret_cast<Arg>(strings.back().c_str()));
        } else {
            args.push_back(std::strtoul(argv[i], nullptr, 0));
        }
    }
    const LONG result = Invoke(function, args);
    std::printf("%ld\n", result);
    std::fflush(stdout);
    if (hold) {
        char c;
        DWORD read;
        while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), &c, 1, &read, nullptr) && read > 0) {
        }
    }
    return 0;
}
