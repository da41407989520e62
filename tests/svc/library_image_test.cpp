// What the Windows loader sees in VKSVC.dll: its export directory, its
// imports and the absence of resources.
#include "pe_image.h"
#include "test_support.h"

#include <doctest.h>

using namespace vktest;

namespace {

struct ExpectedExport {
    DWORD ordinal;
    const char* name;
};

const ExpectedExport kExportTable[] = {
    {10, "AddAccessRights"},   {20, "bIsWindowsVersionOK"},  {30, "DoIExist"},
    {40, "bIsWindowsXP"},      {50, "AddAccessRights_FULL"}, {60, "CheckVeskaFolder"},
    {70, "SetVeskaFolder"},    {80, "ChkNetDrv"},            {90, "DelAppDataFile"},
    {100, "bIsWindows2003"},   {110, "bIsWindowsVista"},
};

PeImage Library() { return PeImage(ProgramDir() + "\\VKSVC.dll"); }

const void* Address(HMODULE dll, LPCSTR nameOrOrdinal)
{
    return reinterpret_cast<const void*>(GetProcAddress(dll, nameOrOrdinal));
}

} // namespace

TEST_CASE("the export directory holds eleven names at ordinals 10 to 110 in steps of ten")
{
    const PeImage dll = Library();
    REQUIRE(dll.IsValid());
    CHECK(dll.IsDll());
    CHECK(dll.ExportLibraryName() == "VKSVC.dll");
    CHECK(dll.OrdinalBase() == 10);
    CHECK(dll.ExportSlots() == 101);

    const auto& exports = dll.Exports();
    REQUIRE(exports.size() == 11);
    for (size_t i = 0; i < exports.size(); ++i) {
        CAPTURE(i);
        CHECK(exports[i].ordinal == kExportTable[i].ordinal);
        CHECK(exports[i].name == kExportTable[i].name);
    }
}

TEST_CASE("each export is reachable by name and by ordinal, at one address")
{
    HMODULE dll = LoadLibraryA("VKSVC.dll");
    REQUIRE(dll != nullptr);
    for (const ExpectedExport& entry : kExportTable) {
        CAPTURE(entry.name);
        const void* byName = Address(dll, entry.name);
        CHECK(byName != nullptr);
        CHECK(Address(dll, MAKEINTRESOURCEA(entry.ordinal)) == byName);
    }
    // The slots between the multiples of ten are empty.
    CHECK(Address(dll, MAKEINTRESOURCEA(15)) == nullptr);
    // Undecorated stdcall names only.
    CHECK(Address(dll, "AddAccessRights@8") == nullptr);
    FreeLibrary(dll);
}

TEST_CASE("the library carries no resources and no version block")
{
    CHECK(Library().ResourceSize() == 0);
    char path[MAX_PATH];
    lstrcpyA(path, (ProgramDir() + "\\VKSVC.dll").c_str());
    DWORD handle = 0;
    CHECK(GetFileVersionInfoSizeA(path, &handle) == 0);
}

TEST_CASE("advapi32 and shell32 are bound at run time; mpr at load time")
{
    const PeImage dll = Library();
    CHECK_FALSE(dll.ImportsLibrary("ADVAPI32.dll"));
    CHECK_FALSE(dll.ImportsLibrary("SHELL32.dll"));
    CHECK(dll.ImportsLibrary("MPR.DLL"));
}

TEST_CASE("every imported function exists on Windows 2000")
{
    const PeImage dll = Library();
    for (const PeImport& import : dll.Imports()) {
        CAPTURE(import.library);
        CAPTURE(import.function);
        CHECK(ExistsOnWindows2000(import));
    }
}
