// Lets doctest print the UTF-16 texts that a failed check compares.
#pragma once

#include "test_support.h"

#include <doctest.h>

#include <string>

namespace doctest {
template <>
struct StringMaker<std::wstring> {
    static String convert(const std::wstring& text) { return vktest::Utf8(text).c_str(); }
};
} // namespace doctest
