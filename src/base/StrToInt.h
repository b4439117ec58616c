#pragma once

#include <cstdint>
#include <string_view>

// The whole-number rules shared by the Channel element, the options file and
// the options dialog: blanks (spaces only) before the number, an optional
// sign, then decimal digits or hexadecimal digits after "$", "x", "X", "0x"
// or "0X". Nothing may follow the digits. Hexadecimal is a 32-bit pattern,
// so 0xFFFFFFFF is -1; decimal must lie in the signed 32-bit range.
bool TryStrToInt(std::string_view text, int32_t& value);
