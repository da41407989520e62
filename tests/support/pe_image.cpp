#include "pe_image.h"

#include "test_support.h"

#include <cstring>

namespace vktest {

PeImage::PeImage(const std::string& path) : bytes_(ReadFileBytes(path))
{
    if (bytes_.size() < sizeof(IMAGE_DOS_HEADER))
        return;
    IMAGE_DOS_HEADER dos;
    std::memcpy(&dos, bytes_.data(), sizeof dos);
    if (dos.e_magic != IMAGE_DOS_SIGNATURE ||
        bytes_.size() < static_cast<size_t>(dos.e_lfanew) + sizeof(IMAGE_NT_HEADERS32))
        return;
    IMAGE_NT_HEADERS32 nt;
    std::memcpy(&nt, bytes_.data() + dos.e_lfanew, sizeof nt);
    if (nt.Signature != IMAGE_NT_SIGNATURE ||
        nt.OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC)
        return;
    characteristics_ = nt.FileHeader.Characteristics;
    subsystem_ = nt.OptionalHeader.Subsystem;
    dllCharacteristics_ = nt.OptionalHeader.DllCharacteristics;

    const size_t sectionTable = dos.e_lfanew + offsetof(IMAGE_NT_HEADERS32, OptionalHeader) +
                                nt.FileHeader.SizeOfOptionalHeader;
    for (WORD i = 0; i < nt.FileHeader.NumberOfSections; ++i) {
        IMAGE_SECTION_HEADER section;
        const size_t at = sectionTable + i * sizeof section;
        if (at + sizeof section > bytes_.size())
            return;
        std::memcpy(&section, bytes_.data() + at, sizeof section);
        sections_.push_back(section);
    }
    valid_ = true;
    const IMAGE_DATA_DIRECTORY* directories = nt.OptionalHeader.DataDirectory;
    ReadExports(directories[IMAGE_DIRECTORY_ENTRY_EXPORT]);
    ReadImports(directories[IMAGE_DIRECTORY_ENTRY_IMPORT]);
    resourceSize_ = directories[IMAGE_DIRECTORY_ENTRY_RESOURCE].Size;
}

const BYTE* PeImage::At(DWORD rva, DWORD size) const
{
    for (const IMAGE_SECTION_HEADER& section : sections_) {
        const DWORD start = section.VirtualAddress;
        const DWORD length = section.SizeOfRawData;
        if (rva >= start && rva + size <= start + length &&
            section.PointerToRawData + (rva - start) + size <= bytes_.size())
            return reinterpret_cast<const BYTE*>(bytes_.data()) + section.PointerToRawData +
                   (rva - start);
    }
    return nullptr;
}

std::string PeImage::StringAt(DWORD rva) const
{
    const BYTE* text = At(rva, 1);
    return text ? std::string(reinterpret_cast<const char*>(text)) : std::string();
}

void PeImage::ReadExports(const IMAGE_DATA_DIRECTORY& directory)
{
    if (directory.Size == 0)
        return;
    IMAGE_EXPORT_DIRECTORY exports;
    const BYTE* raw = At(directory.VirtualAddress, sizeof exports);
    if (raw == nullptr)
        return;
    std::memcpy(&exports, raw, sizeof exports);
    exportName_ = StringAt(exports.Name);
    ordinalBase_ = exports.Base;
    exportSlots_ = exports.NumberOfFunctions;

    const auto* functions = reinterpret_cast<const DWORD*>(
        At(exports.AddressOfFunctions, exports.NumberOfFunctions * sizeof(DWORD)));
    const auto* names = reinterpret_cast<const DWORD*>(
        At(exports.AddressOfNames, exports.NumberOfNames * sizeof(DWORD)));
    const auto* nameSlots = reinterpret_cast<const WORD*>(
        At(exports.AddressOfNameOrdinals, exports.NumberOfNames * sizeof(WORD)));
    if (functions == nullptr)
        return;
    for (DWORD slot = 0; slot < exports.NumberOfFunctions; ++slot) {
        if (functions[slot] == 0)
            continue;
        PeExport entry = {exports.Base + slot, {}};
        for (DWORD i = 0; names && nameSlots && i < exports.NumberOfNames; ++i)
            if (nameSlots[i] == slot)
                entry.name = StringAt(names[i]);
        exports_.push_back(entry);
    }
}

void PeImage::ReadImports(const IMAGE_DATA_DIRECTORY& directory)
{
    for (DWORD at = directory.VirtualAddress; directory.Size != 0;
         at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        IMAGE_IMPORT_DESCRIPTOR descriptor;
        const BYTE* raw = At(at, sizeof descriptor);
        if (raw == nullptr)
            return;
        std::memcpy(&descriptor, raw, sizeof descriptor);
        if (descriptor.Name == 0)
            return;
        const std::string library = StringAt(descriptor.Name);
        DWORD thunk = descriptor.OriginalFirstThunk ? descriptor.OriginalFirstThunk
                                                    : descriptor.FirstThunk;
        for (;; thunk += sizeof(DWORD)) {
            const BYTE* entry = At(thunk, sizeof(DWORD));
            if (entry == nullptr)
                break;
            DWORD value;
            std::memcpy(&value, entry, sizeof value);
            if (value == 0)
                break;
            if (value & IMAGE_ORDINAL_FLAG32)
                imports_.push_back({library, {}, value & 0xFFFF});
            else
                imports_.push_back({library, StringAt(value + sizeof(WORD)), 0});
        }
    }
}

bool PeImage::ImportsLibrary(const std::string& library) const
{
    for (const PeImport& import : imports_)
        if (lstrcmpiA(import.library.c_str(), library.c_str()) == 0)
            return true;
    return false;
}

} // namespace vktest
