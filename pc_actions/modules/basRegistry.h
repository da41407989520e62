// Registry access through one key path "ROOT\sub\key", whose first component
// is the full name of a predefined root key. Every operation returns
// kRegDone (1) or kRegNotDone (-1), closes what it opened, and leaves its
// outputs untouched when it fails.
#pragma once

#include "vb_types.h"

#include <string>

Status16 RegKeyExists(const std::wstring& keyPath);
Status16 RegSetDword(const std::wstring& keyPath, const std::wstring& valueName, Long32 value);
Status16 RegGetString(const std::wstring& keyPath, const std::wstring& valueName,
                      std::wstring& text, Long32& length);
Status16 RegGetDword(const std::wstring& keyPath, const std::wstring& valueName, Long32& number);
// With an empty value name, deletes the key itself.
Status16 RegDeleteEntry(const std::wstring& keyPath, const std::wstring& valueName);

// Internal operations, public for their tests. A key handle is a 32-bit
// value; kNoKey (-1) means the open or create failed.
constexpr Long32 kNoKey = -1;
Long32 RegOpenPath(const std::wstring& keyPath, Long32 accessMask);
Long32 RegCreatePath(const std::wstring& keyPath);
Long32 RegClose(Long32 key);
Long32 RegRootFromPath(const std::wstring& keyPath);
Long32 BytesToLong(const unsigned char* bytes);
