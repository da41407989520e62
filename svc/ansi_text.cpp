#include "ansi_text.h"

#include <cstdarg>
#include <cstdio>

bool FormatInto(char* buffer, size_t size, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    // msvcrt's _vsnprintf returns -1, unterminated, when the text fills or
    // overflows the buffer.
    const int length = _vsnprintf(buffer, size, format, arguments);
    va_end(arguments);
    if (length < 0 || static_cast<size_t>(length) >= size) {
        if (size > 0)
            buffer[0] = '\0';
        return false;
    }
    return true;
}
