// Number and character helpers shared by every part: hexadecimal text, the one number syntax of
// the program, and the test for characters that may stand inside a quoted string.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

constexpr char hexDigits[] = "0123456789ABCDEF";

// Upper-case hex digits of the value's 32-bit two's complement, in whole pairs: at least
// digitCount digits (raised to even), more when the value needs them. FormatHex(0, 0) is "".
std::string FormatHex(int64_t value, int digitCount);

// Appends the value's four upper-case hex digits (its low 16 bits), as FormatHex(value, 4) gives
// them for a value within $0000-$FFFF.
inline void AppendHex4(std::string& text, int64_t value) {
    const char digits[4] = {hexDigits[(value >> 12) & 15], hexDigits[(value >> 8) & 15],
                            hexDigits[(value >> 4) & 15], hexDigits[value & 15]};
    text.append(digits, 4);
}

// Reads a number: leading blanks, an optional sign, "$", "x", "X", "0x" or "0X" for hex, decimal
// otherwise. Stops at the first character that does not fit and never fails (no digits: 0).
int64_t ParseNumber(std::string_view text);

// The same syntax read into a 32-bit field (options, opcodes, label addresses). It differs in
// two ways: a reading that stops before the end of the text drops the sign, and no digit is
// taken that would push a decimal value past 214748364 or a hex value past $0FFFFFFF before it.
// A value beyond the signed range wraps (two's complement).
int32_t ParseNumber32(std::string_view text);

// True for the characters that may stand inside a dta c'...' string.
bool IsTextChar(uint8_t b);

// Removes blanks from the end of the text.
void TrimTrailingBlanks(std::string& text);

// Turns every tab from the index on into a blank (the label file reads tabs as blanks).
void TabsToBlanks(std::string& text, size_t from = 0);
