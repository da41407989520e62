// What the command line asks for: one mode, and a folder for some.
#pragma once

#include <string>

enum class Mode {
    Help,              // /?
    GrantApplications, // /grant
    GrantFolder,       // /grant FOLDER
    CheckApplications, // /check
    CheckFolder,       // /check FOLDER
    FontSwitchOn,      // /fixpitch:on
    FontSwitchOff,     // /fixpitch:off
    RestoreList,       // /restore
    RestoreFile,       // /restore FILE
    RestoreNewest,     // /restore last FOLDER
    Invalid,
};

struct Command {
    Mode mode;
    std::wstring folder;
};

// The switches are read without regard to case, with "/" or "-".
Command ParseCommandLine(int argc, wchar_t** argv);
