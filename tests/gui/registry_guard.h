// Registry states that GUI tests put the PC in, undone on destruction.
#pragma once

#include "test_support.h"

#include <vector>

namespace gui {

extern const char kFontKey[]; // GRE_Initialize under HKEY_LOCAL_MACHINE
extern const char kFontValue[];

// The key readable but not writable by anyone: a user without administrator
// rights, as the key's DACL sees him.
class ReadOnlyForEveryone {
public:
    explicit ReadOnlyForEveryone(const char* path);
    ~ReadOnlyForEveryone();
    ReadOnlyForEveryone(const ReadOnlyForEveryone&) = delete;
    ReadOnlyForEveryone& operator=(const ReadOnlyForEveryone&) = delete;

private:
    vktest::RegKey key_;
    std::vector<char> saved_;
};

} // namespace gui
