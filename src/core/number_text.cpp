#include "core/number_text.h"

#include <algorithm>
#include <cstdint>

namespace {

struct NumberReading {
    uint64_t magnitude = 0;
    bool negative = false;
    bool stoppedEarly = false;  // reading ended before the end of the text
};

int DigitValue(char c, int base) {
    int v = -1;
    if (c >= '0' && c <= '9')
        v = c - '0';
    else if (c >= 'a' && c <= 'f')
        v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        v = c - 'A' + 10;
    return v < base ? v : -1;
}

// Reads the number syntax; a digit is not taken once the value already exceeds the limit of its
// base, so the magnitude never overflows.
NumberReading ReadNumber(std::string_view text, uint64_t decimalLimit, uint64_t hexLimit) {
    NumberReading r;
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        r.negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' &&
               (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    uint64_t limit = base == 16 ? hexLimit : decimalLimit;
    for (; i < text.size(); ++i) {
        int d = DigitValue(text[i], base);
        if (d < 0 || r.magnitude > limit) {
            r.stoppedEarly = true;
            break;
        }
        r.magnitude = r.magnitude * base + d;
    }
    return r;
}

}  // namespace

std::string FormatHex(int64_t value, int digitCount) {
    uint32_t v = static_cast<uint32_t>(value);
    int pairs = 0;  // pairs the value needs
    for (uint32_t rest = v; rest != 0; rest >>= 8) ++pairs;
    pairs = std::max(pairs, (digitCount + 1) / 2);
    if (pairs > 4)
        return std::string(static_cast<size_t>(pairs - 4) * 2, '0') + FormatHex(value, 8);
    char digits[8];
    for (int i = pairs * 2; i > 0; v >>= 4) digits[--i] = hexDigits[v & 0x0F];
    return std::string(digits, static_cast<size_t>(pairs) * 2);
}

int64_t ParseNumber(std::string_view text) {
    NumberReading r = ReadNumber(text, (INT64_MAX - 9) / 10, INT64_MAX >> 4);
    int64_t value = static_cast<int64_t>(r.magnitude);
    return r.negative ? -value : value;
}

int32_t ParseNumber32(std::string_view text) {
    NumberReading r = ReadNumber(text, 214748364, 0x0FFFFFFF);
    uint32_t value = static_cast<uint32_t>(r.magnitude);
    if (r.negative && !r.stoppedEarly) value = 0u - value;
    return static_cast<int32_t>(value);
}

bool IsTextChar(uint8_t b) {
    return (b >= 0x20 && b <= 0x2A) || (b >= 0x2C && b <= 0x5B) || (b >= 0x5D && b <= 0x5E) ||
           (b >= 0x61 && b <= 0x7A);
}

void TrimTrailingBlanks(std::string& text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
}

void TabsToBlanks(std::string& text, size_t from) {
    for (size_t at = text.find('\t', from); at != std::string::npos; at = text.find('\t', at + 1)) {
        text[at] = ' ';
    }
}
