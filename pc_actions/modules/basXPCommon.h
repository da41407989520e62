// One routine per export of VKSVC.dll that the utility uses; each makes one
// call with fixed arguments and returns the library's result unchanged.
// A missing VKSVC.dll or export raises BindingError (binding_table.h).
#pragma once

#include "vb_types.h"

#include <string>

Long32 RunSetVeskaFolder();
Long32 RunCheckVeskaFolder();
Long32 GrantUsersFullControl(std::wstring& folderPath);
Long32 IsXpOrLater();
Long32 IsInstanceRunning();
Long32 IsVistaOrLater();
// The selector travels in the low byte; the buffer comes back whole, with
// the library's message at its start.
Long32 RunChkNetDrv(unsigned char& driveSelector, std::wstring& messageBuffer);
Long32 RunDelAppDataFile(std::wstring& fileName);
