// Libraries that the service library binds at run time (advapi32, Shell32),
// reached through one table of the three loader functions so that a test can
// stand in for a library or for one of its functions.
#pragma once

#include <windows.h>

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
