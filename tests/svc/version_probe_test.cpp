// The Windows version questions of VKSVC.dll: the decision on version
// records that Wine cannot produce, then the exports themselves on every
// Windows that Wine can pretend to be.
#include "export_in_child.h"
#include "test_support.h"
#include "version_probe.h"

#include <doctest.h>

#include <cstdio>
#include <cstring>
#include <string>

using namespace vktest;

namespace {

const DWORD kNoPlatform = 0;
const DWORD kPlatformCe = 3;
const WORD kAnyServicePack = 0;

OSVERSIONINFOA Record(DWORD platform, DWORD major, DWORD minor, const char* servicePack = "")
{
    OSVERSIONINFOA version;
    std::memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    version.dwPlatformId = platform;
    version.dwMajorVersion = major;
    version.dwMinorVersion = minor;
    std::strncpy(version.szCSDVersion, servicePack, sizeof version.szCSDVersion - 1);
    return version;
}

OSVERSIONINFOA Nt(DWORD major, DWORD minor, const char* servicePack = "")
{
    return Record(VER_PLATFORM_WIN32_NT, major, minor, servicePack);
}

OSVERSIONINFOA Win9x(DWORD major, DWORD minor, const char* subVersion = "")
{
    return Record(VER_PLATFORM_WIN32_WINDOWS, major, minor, subVersion);
}

// The questions the toolkit asks: {9x major, 9x minor, NT major, NT minor, SP}.
const VersionThreshold kXpOrLater = {5, 0, 5, 1, kAnyServicePack};
const VersionThreshold kXpSp2OrLater = {5, 0, 5, 1, 2};
const VersionThreshold kVistaOrLater = {5, 0, 6, 0, kAnyServicePack};
const VersionThreshold k98OrXp = {4, 10, 5, 1, kAnyServicePack};

struct VersionCase {
    const char* windows;
    OSVERSIONINFOA record;
    VersionThreshold question;
    bool atLeast;
};

void CheckCases(const VersionCase* cases, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        const VersionCase& c = cases[i];
        CAPTURE(c.windows);
        CAPTURE(c.question.major9x);
        CAPTURE(c.question.minor9x);
        CAPTURE(c.question.majorNt);
        CAPTURE(c.question.minorNt);
        CAPTURE(c.question.servicePackNt);
        CHECK(IsVersionAtLeast(c.record, c.question) == c.atLeast);
    }
}

} // namespace

// --- The decision, on synthetic version records ---------------------------------

TEST_CASE("a record of no known platform answers every question with no")
{
    const VersionThreshold kNothing = {0, 0, 0, 0, 0};
    const VersionCase cases[] = {
        {"failed query (all zero)", Record(kNoPlatform, 0, 0), kNothing, false},
        {"platform 0 claiming 6.1", Record(kNoPlatform, 6, 1, "Service Pack 1"), kXpOrLater, false},
        {"Windows CE 5.0", Record(kPlatformCe, 5, 0), kNothing, false},
    };
    CheckCases(cases, sizeof cases / sizeof cases[0]);
}

TEST_CASE("on the 9x family only the 9x major and minor count")
{
    const VersionThreshold kMeOrLater = {4, 90, 0, 0, 0};
    const VersionThreshold kNtOnlyAbsurd = {4, 10, 99, 99, 0xFFFF};
    const VersionCase cases[] = {
        {"Windows Me 4.90", Win9x(4, 90, " "), kXpOrLater, false},
        {"Windows Me 4.90", Win9x(4, 90, " "), k98OrXp, true},
        {"Windows 98 4.10 (equal minor)", Win9x(4, 10, " A "), k98OrXp, true},
        {"Windows 98 4.10", Win9x(4, 10, " A "), kMeOrLater, false},
        {"Windows 95 4.0", Win9x(4, 0), k98OrXp, false},
        {"a 9x 5.0 (higher major, lower minor)", Win9x(5, 0), kMeOrLater, true},
        {"a 9x 5.0 asked for XP", Win9x(5, 0), kXpOrLater, true},
        {"Windows 98, NT thresholds out of reach", Win9x(4, 10, " A "), kNtOnlyAbsurd, true},
        {"Windows 98 with a service-pack text", Win9x(4, 10, "Service Pack 1"), kXpSp2OrLater,
         false},
    };
    CheckCases(cases, sizeof cases / sizeof cases[0]);
}

TEST_CASE("on NT the major, then the minor, then the service pack decide")
{
    const VersionThreshold k9xOnlyAbsurd = {99, 99, 5, 1, 0};
    const VersionCase cases[] = {
        {"Windows 2000 SP4", Nt(5, 0, "Service Pack 4"), kXpOrLater, false},
        {"Windows XP without service pack", Nt(5, 1), kXpOrLater, true},
        {"Windows XP SP1", Nt(5, 1, "Service Pack 1"), kXpSp2OrLater, false},
        {"Windows XP SP2", Nt(5, 1, "Service Pack 2"), kXpSp2OrLater, true},
        {"Windows XP SP3", Nt(5, 1, "Service Pack 3"), kXpSp2OrLater, true},
        {"Windows XP, empty text", Nt(5, 1), kXpSp2OrLater, false},
        {"Windows Server 2003 without service pack", Nt(5, 2), kXpSp2OrLater, true},
        {"Windows Vista (higher major, lower minor)", Nt(6, 0), kXpSp2OrLater, true},
        {"Windows XP SP3 asked for Vista", Nt(5, 1, "Service Pack 3"), kVistaOrLater, false},
        {"NT 4.0 SP6a", Nt(4, 0, "Service Pack 6a"), k98OrXp, false},
        {"Windows XP, 9x thresholds out of reach", Nt(5, 1), k9xOnlyAbsurd, true},
    };
    CheckCases(cases, sizeof cases / sizeof cases[0]);
}

TEST_CASE("versions compare unsigned: a threshold of -1 is out of reach")
{
    const DWORD kMinusOne = 0xFFFFFFFF;
    const VersionThreshold kNtMajorMinusOne = {0, 0, kMinusOne, 0, 0};
    const VersionThreshold kNtMinorMinusOne = {0, 0, 6, kMinusOne, 0};
    const VersionThreshold k9xMajorMinusOne = {kMinusOne, 0, 0, 0, 0};
    const VersionThreshold kServicePackFFFF = {0, 0, 5, 1, 0xFFFF};
    const VersionCase cases[] = {
        {"Windows 7", Nt(6, 1, "Service Pack 1"), kNtMajorMinusOne, false},
        {"Windows 7", Nt(6, 1, "Service Pack 1"), kNtMinorMinusOne, false},
        {"Windows Me", Win9x(4, 90), k9xMajorMinusOne, false},
        {"Windows XP SP3", Nt(5, 1, "Service Pack 3"), kServicePackFFFF, false},
    };
    CheckCases(cases, sizeof cases / sizeof cases[0]);
}

TEST_CASE("the service-pack number is what sscanf reads with \"Service Pack %d\", else 0")
{
    struct ScanCase {
        const char* text;
        unsigned number;
    };
    const ScanCase cases[] = {
        {"Service Pack 2", 2},
        {"Service Pack 6a", 6},          // NT 4.0: digits end the number
        {"Service Pack 10", 10},
        {"", 0},
        {" A ", 0},                       // Windows 98's sub-version text
        {"Service Pack", 0},
        {"Service Pack x", 0},
        {"service pack 2", 0},            // letters match exactly
        {" Service Pack 3", 0},           // nothing is skipped before "Service"
        {"ServicePack3", 3},              // a blank of the format matches none
        {"Service  Pack\t 4", 4},         // or any run of white space
        {"Service Pack +5", 5},
        {"Service Pack -1", 0xFFFFFFFFu}, // %d takes the sign; read unsigned
    };
    for (const ScanCase& c : cases) {
        CAPTURE(c.text);
        CHECK(ServicePackNumber(c.text) == c.number);
        // The table is the C runtime's own reading.
        int scanned = 0;
        std::sscanf(c.text, "Service Pack %d", &scanned);
        CHECK(static_cast<unsigned>(scanned) == c.number);
    }
}

// --- The exports, on the Windows versions that Wine reports -------------------------

namespace {

// What a program started in the prefix is told, and what the exports answer.
struct ReportedWindows {
    const char* winecfgName;
    const char* servicePackText; // null: the text Wine sets with the version
    const char* report;          // os_version.exe: PLATFORM MAJOR.MINOR [TEXT]
    const char* xp;              // bIsWindowsXP
    const char* server2003;      // bIsWindows2003
    const char* vista;           // bIsWindowsVista
    const char* xpSp2;           // bIsWindowsVersionOK(5, 0, 5, 1, 2)
    const char* xpSp2HighWord;   // bIsWindowsVersionOK(5, 0, 5, 1, 0x10002)
    const char* win98OrXp;       // bIsWindowsVersionOK(4, 10, 5, 1, 0)
};

const ReportedWindows kReportedWindows[] = {
    {"win2k", nullptr, "2 5.0 [Service Pack 4]", "0", "0", "0", "0", "0", "0"},
    {"winxp", "Service Pack 1", "2 5.1 [Service Pack 1]", "1", "0", "0", "0", "0", "1"},
    {"winxp", "Service Pack 2", "2 5.1 [Service Pack 2]", "1", "0", "0", "1", "1", "1"},
    {"winxp", "", "2 5.1 []", "1", "0", "0", "0", "0", "1"},
    {"win2003", "", "2 5.2 []", "1", "1", "0", "1", "1", "1"},
    {"vista", nullptr, "2 6.0 [Service Pack 2]", "1", "1", "1", "1", "1", "1"},
    {"win7", nullptr, "2 6.1 [Service Pack 1]", "1", "1", "1", "1", "1", "1"},
    {"win95", nullptr, "1 4.0 []", "0", "0", "0", "0", "0", "0"},
    {"win98", nullptr, "1 4.10 [ A ]", "0", "0", "0", "0", "0", "1"},
    {"winme", nullptr, "1 4.90 [ ]", "0", "0", "0", "0", "0", "1"},
};

std::string ReportedVersion()
{
    ChildProcess child(ProgramPath("os_version.exe"));
    const std::string line = child.ReadLine();
    child.Wait();
    return line;
}

void SwitchTo(const ReportedWindows& windows)
{
    SetWindowsVersion(windows.winecfgName);
    // winecfg writes the version's own text: a text of ours comes after it.
    if (windows.servicePackText != nullptr)
        SetServicePackText(windows.servicePackText);
}

} // namespace

TEST_CASE("a new process of each Windows gets the answers of that Windows")
{
    for (const ReportedWindows& windows : kReportedWindows) {
        CAPTURE(windows.winecfgName);
        CAPTURE(windows.servicePackText);
        SwitchTo(windows);
        // What the answers rest on: the version Wine now reports.
        const std::string reported = ReportedVersion();
        CHECK(reported == windows.report);
        if (reported != windows.report)
            continue;

        CHECK(CallInChild("bIsWindowsXP") == windows.xp);
        CHECK(CallInChild("bIsWindows2003") == windows.server2003);
        CHECK(CallInChild("bIsWindowsVista") == windows.vista);
        CHECK(CallInChild("bIsWindowsVersionOK 5 0 5 1 2") == windows.xpSp2);
        // Only the low 16 bits of the fifth argument count.
        CHECK(CallInChild("bIsWindowsVersionOK 5 0 5 1 0x10002") == windows.xpSp2HighWord);
        CHECK(CallInChild("bIsWindowsVersionOK 4 10 5 1 0") == windows.win98OrXp);
    }
    SetWindowsVersion("win7");
}
