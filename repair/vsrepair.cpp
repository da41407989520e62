// vsrepair: removes the current user's VirtualStore copy of the standalone
// edition's ini file on Windows Vista and later, and tells the user in one
// message box what happened. The exit code is 0 whatever the outcome.
#include "vksvc.h"

#include <windows.h>

namespace {

const char kTitle[] = "Orvikスタンドアロン版起動不可修復ツール";
const char kStandaloneIni[] = "lw_dbe32.ini";
const int kExitCode = 0;

struct Outcome {
    const char* text;
    UINT style;
};

const Outcome kNotNeededOnThisWindows = {"このプログラムは実行する必要はありません。",
                                         MB_OK | MB_ICONINFORMATION};
const Outcome kRepaired = {"修復を実行しました。", MB_OK | MB_ICONINFORMATION};
const Outcome kNotRepaired = {"修復できませんでした。", MB_OK | MB_ICONWARNING};
// Also what the user sees when the library could not look for the copy at
// all: only a copy that resists deletion is worth a warning.
const Outcome kNothingToRepair = {"修復の必要がありませんでした。", MB_OK | MB_ICONINFORMATION};

const Outcome& OutcomeOfDeletion(LONG status)
{
    switch (status) {
    case kCopyDeleted:
        return kRepaired;
    case kDeleteFailed:
        return kNotRepaired;
    default:
        return kNothingToRepair;
    }
}

const Outcome& Repair()
{
    // Windows before Vista keeps no VirtualStore.
    if (bIsWindowsVista() != 1)
        return kNotNeededOnThisWindows;
    return OutcomeOfDeletion(DelAppDataFile(kStandaloneIni));
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    const Outcome& outcome = Repair();
    MessageBoxA(nullptr, outcome.text, kTitle, outcome.style);
    return kExitCode;
}
