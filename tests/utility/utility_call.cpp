// Calls routines of the utility's modules, named on its command line, and
// prints what each gives, one line per result, or the binding error it
// raised ("BindingError KIND LIBRARY EXPORT", KIND being file-not-found or
// entry-point-not-found).
//   utility_call ROUTINE...
// RunChkNetDrv checks every drive with the 1024 NULs that the main window
// passes, and prints its result, the buffer up to its first NUL in brackets
// (in the ANSI code page) and the buffer's length in characters.
#include "basCommon.h"
#include "basXPCommon.h"
#include "binding_table.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

void PrintResult(Long32 result)
{
    std::printf("%ld\n", static_cast<long>(result));
}

std::string Ansi(const std::wstring& text)
{
    std::string ansi(text.size() * 2, '\0');
    const int length = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                           &ansi[0], static_cast<int>(ansi.size()), nullptr,
                                           nullptr);
    ansi.resize(length > 0 ? length : 0);
    return ansi;
}

void CheckNetworkDrives()
{
    unsigned char allDrives = '1';
    std::wstring message(1024, L'\0');
    PrintResult(RunChkNetDrv(allDrives, message));
    std::printf("[%s]\n%u\n", Ansi(TrimAtNul(message)).c_str(),
                static_cast<unsigned>(message.size()));
}

struct Routine {
    const char* name;
    void (*call)();
};

const Routine kRoutines[] = {
    {"IsXpOrLater", [] { PrintResult(IsXpOrLater()); }},
    {"IsVistaOrLater", [] { PrintResult(IsVistaOrLater()); }},
    {"IsInstanceRunning", [] { PrintResult(IsInstanceRunning()); }},
    {"RunCheckVeskaFolder", [] { PrintResult(RunCheckVeskaFolder()); }},
    {"RunSetVeskaFolder", [] { PrintResult(RunSetVeskaFolder()); }},
    {"RunChkNetDrv", CheckNetworkDrives},
};

void Call(const char* name)
{
    for (const Routine& routine : kRoutines) {
        if (std::strcmp(routine.name, name) != 0)
            continue;
        try {
            routine.call();
        } catch (const BindingError& error) {
            std::printf("BindingError %s %s %s\n",
                        error.kind() == BindingError::kFileNotFound ? "file-not-found"
                                                                    : "entry-point-not-found",
                        error.library().c_str(), error.exportName().c_str());
        }
        return;
    }
    std::printf("unknown routine %s\n", name);
}

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        Call(argv[i]);
    std::fflush(stdout);
    return 0;
}
