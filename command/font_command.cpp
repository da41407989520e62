#include "commands.h"

#include "exit_codes.h"
#include "utility_actions.h"

namespace {

const wchar_t kSwitch[] = L"Jpn98FixPitch";
const wchar_t kNowOn[] =
    L"固定ピッチフォントのサイズを Windows 2000 と同等にしました。再起動後に有効になります。";
const wchar_t kNowOff[] = L"固定ピッチフォントのサイズを元に戻しました。再起動後に有効になります。";
const wchar_t kAlreadyOn[] = L"既に Windows 2000 と同等のサイズに設定されています。";
const wchar_t kAlreadyOff[] = L"設定はありません。元のサイズのままです。";
const wchar_t kFailed[] = L"設定処理でエラーが発生しました。";
const Long32 kOn = 1;

// Whether the stored switch is what `on` asks for: the value 1, or none.
bool StandsAs(bool on)
{
    Long32 value = 0;
    const bool set = ReadFontSwitch(value);
    return on ? set && value == kOn : !set;
}

} // namespace

int FontSwitchCommand(ConsoleOutput& out, bool on)
{
    if (StandsAs(on)) {
        out.Report(Outcome::Ok, kSwitch, on ? kAlreadyOn : kAlreadyOff);
        return kExitDone;
    }
    // Read back: a removal that did not happen is a failure here.
    if (!SetFontSwitch(on) || !StandsAs(on)) {
        out.Report(Outcome::Error, kSwitch, kFailed);
        return kExitFailedOrDue;
    }
    out.Report(Outcome::Ok, kSwitch, on ? kNowOn : kNowOff);
    return kExitRestartNeeded;
}
