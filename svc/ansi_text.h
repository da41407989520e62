// Formatting into the fixed ANSI buffers that cross to Windows, through the C
// runtime that Windows ships (msvcrt), so that no formatting engine of our
// own is linked into the library.
#pragma once

#include <cstddef>

// Formats into `buffer` of `size` bytes. Returns false, with the buffer
// emptied, when the text does not fit: a path cut short would name another
// file.
bool FormatInto(char* buffer, size_t size, const char* format, ...);
