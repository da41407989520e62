// Libraries that the service library binds at run time (advapi32, Shell32),
// reached through one table of the three loader functions so that a test can
// stand in for a library or for one of its functions.
#pragma once

#include <windows.h>

#include <cstddef>

struct LibraryLoader {
    HMODULE(WINAPI* load)(LPCSTR fileName);
    FARPROC(WINAPI* lookup)(HMODULE module, LPCSTR name);
    BOOL(WINAPI* release)(HMODULE module);
};

// LoadLibraryA, GetProcAddress and FreeLibrary.
const LibraryLoader& SystemLoader();

// Owns one loaded library and releases it when it goes out of scope.
class LoadedLibrary {
public:
    LoadedLibrary(const LibraryLoader& loader, LPCSTR fileName)
        : loader_(loader), module_(loader.load(fileName)) {}
    ~LoadedLibrary()
    {
        if (module_ != nullptr)
            loader_.release(module_);
    }
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;

    bool IsLoaded() const { return module_ != nullptr; }

    // The named function as a pointer of type Fn, or null when it is missing.
    template <typename Fn>
    Fn Function(LPCSTR name) const
    {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(loader_.lookup(module_, name)));
    }

private:
    const LibraryLoader& loader_;
    HMODULE module_;
};

// One member of a table of function pointers, bound by its exported name.
struct BoundFunction {
    const char* name;
    std::size_t offset; // of the member in the table
};

// Fills the table's members from the library, all of them or none that
// counts: false when one is missing.
template <std::size_t N>
bool BindAll(const LoadedLibrary& library, void* table, const BoundFunction (&functions)[N])
{
    for (const BoundFunction& function : functions) {
        const FARPROC address = library.Function<FARPROC>(function.name);
        if (address == nullptr)
            return false;
        *reinterpret_cast<FARPROC*>(static_cast<char*>(table) + function.offset) = address;
    }
    return true;
}
