#pragma once

#include <cstdint>
#include <string_view>

// Two whole-number rules live here side by side, so the difference between
// them stays visible.

// The request protocol's Channel element and the options dialog's fields:
// blanks (spaces only) before the number, an optional sign, then decimal
// digits or hexadecimal digits after "$", "x", "X", "0x" or "0X". Nothing may
// follow the digits. Hexadecimal is a 32-bit pattern, so 0xFFFFFFFF is -1,
// and a sign before the prefix negates it; decimal must lie in the signed
// 32-bit range.
bool TryStrToInt(std::string_view text, int32_t& value);

// Integers in Option.ini: decimal with an optional sign, or hexadecimal
// after "0x", "0X" or "$" (no sign before the prefix), in the signed 32-bit
// range either way. Nothing else is a number: no blanks (the INI layer has
// already cut those from around the value), no bare "x" prefix.
bool TryProfileStrToInt(std::string_view text, int32_t& value);
