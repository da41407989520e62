// Reads the tables of a 32-bit PE file (a DLL or an EXE) from its bytes, as
// the Windows loader will see them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace vktest {

struct PeExport {
    DWORD ordinal;
    std::string name; // empty for an export by ordinal only
};

struct PeImport {
    std::string library;
    std::string function; // empty when imported by ordinal
    DWORD ordinal;        // set when imported by ordinal
};

class PeImage {
public:
    explicit PeImage(const std::string& path);

    bool IsValid() const { return valid_; }
    bool IsDll() const { return (characteristics_ & IMAGE_FILE_DLL) != 0; }
    WORD Subsystem() const { return subsystem_; }
    // Whether a Remote Desktop server gives the program the PC's own Windows
    // folder, not a per-user one.
    bool IsTerminalServerAware() const
    {
        return (dllCharacteristics_ & IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE) != 0;
    }

    // The export directory: its library name, ordinal base, number of slots,
    // and the slots that hold a function.
    std::string ExportLibraryName() const { return exportName_; }
    DWORD OrdinalBase() const { return ordinalBase_; }
    DWORD ExportSlots() const { return exportSlots_; }
    const std::vector<PeExport>& Exports() const { return exports_; }

    const std::vector<PeImport>& Imports() const { return imports_; }
    bool ImportsLibrary(const std::string& library) const;

    // Size of the resource directory; 0 for a file without resources.
    DWORD ResourceSize() const { return resourceSize_; }

private:
    const BYTE* At(DWORD rva, DWORD size) const;
    std::string StringAt(DWORD rva) const;
    void ReadExports(const IMAGE_DATA_DIRECTORY& directory);
    void ReadImports(const IMAGE_DATA_DIRECTORY& directory);

    std::string bytes_;
    std::vector<IMAGE_SECTION_HEADER> sections_;
    bool valid_ = false;
    WORD characteristics_ = 0;
    WORD subsystem_ = 0;
    WORD dllCharacteristics_ = 0;
    std::string exportName_;
    DWORD ordinalBase_ = 0;
    DWORD exportSlots_ = 0;
    std::vector<PeExport> exports_;
    std::vector<PeImport> imports_;
    DWORD resourceSize_ = 0;
};

// Whether LIBRARY!FUNCTION is one of the functions known to exist on
// Windows 2000 (the oldest system the binaries must load on).
bool ExistsOnWindows2000(const PeImport& import);

} // namespace vktest
