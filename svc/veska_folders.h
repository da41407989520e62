#pragma once

#include "runtime_library.h"

// SetVeskaFolder's work: grants every folder that the applications' ini
// files and the two fixed folders name and that exists, and records each
// grant in the history log. The security functions are bound from
// advapi32.dll through `loader`.
void GrantVeskaFolders(const LibraryLoader& loader);
