// The folder below the named object: its subfolders and files, each given
// what Windows' own propagation would give it from the object's new
// descriptor, walked by the library itself so that every object is checked
// through the handle its DACL is written through. The path above the
// object is held_path's.
#pragma once

#include "held_path.h"
#include "security_api.h"

// Walks the tree below the held object when it is a folder, and always to
// the end. kGrantLinkRefused when an object was left alone because it is a
// link, a file with another name or on another volume; otherwise
// kGrantWriteFailed when an object could not be opened, read, computed or
// written (one that vanished meanwhile excepted); otherwise kGrantDone.
LONG PassDownBelow(const SecurityApi& api, const HeldPath& held,
                   PSECURITY_DESCRIPTOR objectDescriptor);
