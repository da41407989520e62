// VKSVC.dll loaded into the test program, its exports bound by name as the
// utility binds them.
#pragma once

#include <windows.h>

class VksvcLibrary {
public:
    VksvcLibrary() : module_(LoadLibraryA("VKSVC.dll")) {}
    ~VksvcLibrary()
    {
        if (module_ != nullptr)
            FreeLibrary(module_);
    }
    VksvcLibrary(const VksvcLibrary&) = delete;
    VksvcLibrary& operator=(const VksvcLibrary&) = delete;

    bool IsLoaded() const { return module_ != nullptr; }

    // The export `name` as a pointer of type Fn; null when it is missing.
    template <typename Fn>
    Fn Export(const char* name) const
    {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
    }

private:
    HMODULE module_;
};
