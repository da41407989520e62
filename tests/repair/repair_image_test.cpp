// What the Windows loader sees in vsrepair.exe.
#include "pe_image.h"
#include "test_support.h"

#include <doctest.h>

#include <set>

using namespace vktest;

namespace {

const char kServiceLibrary[] = "VKSVC.dll";
const DWORD kDelAppDataFile = 90;
const DWORD kIsWindowsVista = 110;

PeImage RepairTool() { return PeImage(ProgramDir() + "\\vsrepair.exe"); }

bool FromServiceLibrary(const PeImport& import)
{
    return lstrcmpiA(import.library.c_str(), kServiceLibrary) == 0;
}

} // namespace

TEST_CASE("vsrepair is a terminal-server-aware GUI program without resources")
{
    const PeImage tool = RepairTool();
    REQUIRE(tool.IsValid());
    CHECK_FALSE(tool.IsDll());
    CHECK(tool.Subsystem() == IMAGE_SUBSYSTEM_WINDOWS_GUI);
    CHECK(tool.IsTerminalServerAware());
    CHECK(tool.ResourceSize() == 0);
}

TEST_CASE("VKSVC.dll is imported by ordinal only: DelAppDataFile (90) and bIsWindowsVista (110)")
{
    const PeImage tool = RepairTool();
    REQUIRE(tool.IsValid());
    std::set<DWORD> ordinals;
    for (const PeImport& import : tool.Imports()) {
        if (!FromServiceLibrary(import))
            continue;
        CAPTURE(import.function);
        CHECK(import.function.empty());
        ordinals.insert(import.ordinal);
    }
    CHECK(ordinals == std::set<DWORD>{kDelAppDataFile, kIsWindowsVista});
}

TEST_CASE("every other imported function exists on Windows 2000")
{
    const PeImage tool = RepairTool();
    REQUIRE(tool.IsValid());
    for (const PeImport& import : tool.Imports()) {
        if (FromServiceLibrary(import))
            continue;
        CAPTURE(import.library);
        CAPTURE(import.function);
        CHECK(ExistsOnWindows2000(import));
    }
}
