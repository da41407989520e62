// What the Windows loader sees in VK_UTL.exe: a GUI program that binds the
// library, advapi32 and the version, profile and shutdown functions at run
// time, with a manifest, an icon and a Japanese version block.
#include "pe_image.h"
#include "test_support.h"
#include "utility_session.h"

#include <doctest.h>

using namespace vktest;

namespace {

std::string Utility() { return ProgramDir() + "\\VK_UTL.exe"; }

// The manifest resource (type 24, ID 1) as text.
std::string Manifest()
{
    HMODULE image = LoadLibraryExA(Utility().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (image == nullptr)
        return {};
    std::string text;
    if (HRSRC found = FindResourceA(image, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24))) {
        const char* bytes = static_cast<const char*>(LockResource(LoadResource(image, found)));
        text.assign(bytes, SizeofResource(image, found));
    }
    FreeLibrary(image);
    return text;
}

} // namespace

TEST_CASE("the utility is a terminal-server-aware GUI program whose imports all exist on Windows 2000")
{
    const PeImage utility(Utility());
    REQUIRE(utility.IsValid());
    CHECK(utility.Subsystem() == IMAGE_SUBSYSTEM_WINDOWS_GUI);
    CHECK(utility.IsTerminalServerAware());
    for (const PeImport& import : utility.Imports()) {
        CAPTURE(import.library);
        CAPTURE(import.function);
        CHECK(ExistsOnWindows2000(import));
    }
}

TEST_CASE("the library, advapi32, version and the profile and shutdown functions are not linked")
{
    const PeImage utility(Utility());
    CHECK_FALSE(utility.ImportsLibrary("VKSVC.dll"));
    CHECK_FALSE(utility.ImportsLibrary("ADVAPI32.dll"));
    CHECK_FALSE(utility.ImportsLibrary("VERSION.dll"));
    for (const PeImport& import : utility.Imports()) {
        CAPTURE(import.function);
        CHECK(import.function != "ExitWindowsEx");
        CHECK(import.function != "WritePrivateProfileStringA");
        CHECK(import.function != "GetVersionExA");
        CHECK(import.function != "GetWindowsDirectoryA");
    }
}

TEST_CASE("the manifest asks for the highest available level, visual styles and DPI awareness")
{
    const std::string manifest = Manifest();
    CHECK(manifest.find("level=\"highestAvailable\"") != std::string::npos);
    CHECK(manifest.find("Microsoft.Windows.Common-Controls") != std::string::npos);
    CHECK(manifest.find("<dpiAware") != std::string::npos);
    CHECK(manifest.find("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}") != std::string::npos);
    CHECK(manifest.find("{e2011457-1546-43c5-a5fe-008deee3d3f0}") != std::string::npos);
}

TEST_CASE("the version block is Japanese and names the utility")
{
    char path[MAX_PATH];
    lstrcpyA(path, Utility().c_str());
    DWORD ignored = 0;
    std::vector<char> block(GetFileVersionInfoSizeA(path, &ignored));
    REQUIRE_FALSE(block.empty());
    REQUIRE(GetFileVersionInfoA(path, 0, static_cast<DWORD>(block.size()), block.data()));
    wchar_t* description = nullptr;
    UINT length = 0;
    REQUIRE(VerQueryValueW(block.data(), L"\\StringFileInfo\\041104b0\\FileDescription",
                           reinterpret_cast<void**>(&description), &length));
    CHECK(std::wstring(description) == L"VESKA Windows ユーティリティ");
}

TEST_CASE("the application icon is 32 x 32 in 16 colours")
{
    HMODULE image = LoadLibraryExA(Utility().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    REQUIRE(image != nullptr);
    HRSRC group = FindResourceA(image, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(14)); // RT_GROUP_ICON
    REQUIRE(group != nullptr);
    const BYTE* entries = static_cast<const BYTE*>(LockResource(LoadResource(image, group)));
    CHECK(entries[6] == 32);  // width
    CHECK(entries[7] == 32);  // height
    CHECK(entries[8] == 16);  // colours
    FreeLibrary(image);
}
