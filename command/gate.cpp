#include "commands.h"

#include "app_title.h"
#include "basXPCommon.h"
#include "exit_codes.h"
#include "utility_actions.h"

namespace {

const wchar_t kNeedsXp[] = L"このプログラムはWindows XP以降のオペレーティングシステムのみ動作可能です。";
const wchar_t kNeedsAdministrator[] = L"このプログラムは管理者権限をもつユーザーで実行してください。";
const wchar_t kAlreadyRunning[] = L"は、既に起動されています。";

int Refuse(ConsoleOutput& out, const std::wstring& text)
{
    out.Report(Outcome::Error, L"-", text);
    return kExitRefused;
}

} // namespace

int RefusalBeforeWork(ConsoleOutput& out)
{
    if (IsXpOrLater() != 1)
        return Refuse(out, kNeedsXp);
    if (!MayChangeFontSwitch())
        return Refuse(out, kNeedsAdministrator);
    // The utility's own single-instance object, held until this process
    // ends: while either program runs, the other refuses.
    if (IsInstanceRunning() == 1)
        return Refuse(out, std::wstring(kAppTitle) + kAlreadyRunning);
    return 0;
}
