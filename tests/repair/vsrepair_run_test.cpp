// vsrepair end to end: what the user sees in its message box, what it does
// to the VirtualStore copy of lw_dbe32.ini, and its exit code.
#include "test_support.h"
#include "ui_driver.h"
#include "wide_text_checks.h"

#include <doctest.h>

using namespace vktest;
using namespace vkui;

namespace {

const wchar_t kTitle[] = L"Orvikスタンドアロン版起動不可修復ツール";
const wchar_t kNotNeededHere[] = L"このプログラムは実行する必要はありません。";
const wchar_t kRepaired[] = L"修復を実行しました。";
const wchar_t kNotRepaired[] = L"修復できませんでした。";
const wchar_t kNothingToRepair[] = L"修復の必要がありませんでした。";

const DWORD kStatusDllNotFound = 0xC0000135;
const DWORD kExitWait = 15000;

std::string StandaloneIniCopy()
{
    return LocalAppData() + "\\VirtualStore\\Windows\\lw_dbe32.ini";
}

// The current user's VirtualStore copy of lw_dbe32.ini, there for the
// length of a test.
class VirtualStoreCopy {
public:
    VirtualStoreCopy() : file_((MakeFolders(LocalAppData() + "\\VirtualStore\\Windows"),
                                StandaloneIniCopy()),
                               "[DIR]\r\nDB_DIR=C:\\VESKA\r\n")
    {
    }
    bool Exists() const { return PathExists(file_.Path()); }

private:
    ScopedFile file_;
};

// Wine reports `name` to the programs started from now on, and the
// prefix's own Windows 7 again after the test.
class ReportedWindows {
public:
    explicit ReportedWindows(const char* name) { SetWindowsVersion(name); }
    ~ReportedWindows() { SetWindowsVersion("win7"); }
    ReportedWindows(const ReportedWindows&) = delete;
    ReportedWindows& operator=(const ReportedWindows&) = delete;
};

struct RepairRun {
    bool boxShown = false;
    MessageBoxContent box;
    std::optional<DWORD> exitCode;
};

// Runs the tool from `folder`, reads its message box, answers it with OK
// and waits for the end.
RepairRun RunRepairTool(const std::string& folder = ProgramDir())
{
    Program tool({Widen(folder + "\\vsrepair.exe"), L"", Widen(folder), {}});
    REQUIRE(tool.Started());
    RepairRun run;
    if (HWND box = WaitForMessageBox(tool)) {
        run.boxShown = true;
        run.box = ReadMessageBox(box);
        PressButton(box, IDOK);
    }
    run.exitCode = tool.WaitForExit(kExitWait);
    return run;
}

// One OK box without owner, under the tool's title, then exit code 0.
void CheckOutcome(const RepairRun& run, const std::wstring& text, BoxIcon icon)
{
    REQUIRE(run.boxShown);
    CHECK(run.box.title == kTitle);
    CHECK(run.box.text == text);
    CHECK(run.box.icon == icon);
    CHECK(run.box.owner == nullptr);
    REQUIRE(run.box.buttons.size() == 1);
    CHECK(run.box.buttons[0].id == IDOK);
    CHECK(run.exitCode == DWORD{0});
}

} // namespace

TEST_CASE("on Windows XP nothing needs repairing: an information box, the copy stays, exit code 0")
{
    ReportedWindows xp("winxp");
    VirtualStoreCopy copy;
    CheckOutcome(RunRepairTool(), kNotNeededHere, BoxIcon::Information);
    CHECK(copy.Exists());
}

TEST_CASE("on Vista the copy is deleted: 'repaired'; at once again: 'nothing to repair'")
{
    ReportedWindows vista("vista");
    VirtualStoreCopy copy;
    CheckOutcome(RunRepairTool(), kRepaired, BoxIcon::Information);
    CHECK_FALSE(copy.Exists());
    CheckOutcome(RunRepairTool(), kNothingToRepair, BoxIcon::Information);
}

TEST_CASE("on Vista a copy held open by another program stays: a warning, still exit code 0")
{
    ReportedWindows vista("vista");
    VirtualStoreCopy copy;
    Handle held(CreateFileA(StandaloneIniCopy().c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                            nullptr));
    REQUIRE(held.IsValid());
    CheckOutcome(RunRepairTool(), kNotRepaired, BoxIcon::Warning);
    CHECK(copy.Exists());
}

TEST_CASE("without VKSVC.dll beside it the loader refuses to start it: no box, STATUS_DLL_NOT_FOUND")
{
    ReportedWindows vista("vista");
    VirtualStoreCopy copy;
    ScopedFolder alone(ProgramDir() + "\\alone");
    REQUIRE(CopyFileA((ProgramDir() + "\\vsrepair.exe").c_str(),
                      (alone.Path() + "\\vsrepair.exe").c_str(), FALSE));
    const RepairRun run = RunRepairTool(alone.Path());
    CHECK_FALSE(run.boxShown);
    CHECK(run.exitCode == kStatusDllNotFound);
    CHECK(copy.Exists());
}
