#include "command_line.h"

#include <windows.h>

namespace {

struct Switch {
    const wchar_t* name;
    Mode alone;       // the mode without a folder
    Mode withFolder;  // with one; Invalid where none is taken
};

const Switch kSwitches[] = {
    {L"?", Mode::Help, Mode::Invalid},
    {L"grant", Mode::GrantApplications, Mode::GrantFolder},
    {L"check", Mode::CheckApplications, Mode::CheckFolder},
    {L"fixpitch:on", Mode::FontSwitchOn, Mode::Invalid},
    {L"fixpitch:off", Mode::FontSwitchOff, Mode::Invalid},
    {L"restore", Mode::RestoreList, Mode::RestoreFile},
};

const Switch* FindSwitch(const wchar_t* argument)
{
    if (argument[0] != L'/' && argument[0] != L'-')
        return nullptr;
    for (const Switch& entry : kSwitches)
        if (lstrcmpiW(argument + 1, entry.name) == 0)
            return &entry;
    return nullptr;
}

} // namespace

Command ParseCommandLine(int argc, wchar_t** argv)
{
    const Switch* entry = argc >= 2 ? FindSwitch(argv[1]) : nullptr;
    // "/restore last FOLDER", the one form with two words after the switch.
    if (entry != nullptr && entry->alone == Mode::RestoreList && argc >= 3 &&
        lstrcmpiW(argv[2], L"last") == 0)
        return argc == 4 && argv[3][0] != L'\0' ? Command{Mode::RestoreNewest, argv[3]}
                                                 : Command{Mode::Invalid, L""};
    if (entry == nullptr || argc > 3)
        return {Mode::Invalid, L""};
    if (argc == 2)
        return {entry->alone, L""};
    // An empty folder names nothing.
    if (argv[2][0] == L'\0')
        return {Mode::Invalid, L""};
    return {entry->withFolder, argv[2]};
}
