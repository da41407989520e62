// Integer widths of the utility: its own statuses and modes are 16-bit, a
// Boolean is 16-bit with True = -1, library results are 32-bit.
#pragma once

#include <cstdint>

using Status16 = std::int16_t;
using Bool16 = std::int16_t;
using Long32 = std::int32_t;

constexpr Bool16 kTrue = -1;
constexpr Bool16 kFalse = 0;

// Results of the registry operations.
constexpr Status16 kRegDone = 1;
constexpr Status16 kRegNotDone = -1;
