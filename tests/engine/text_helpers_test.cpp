#include "engine/text_helpers.h"

#include <gtest/gtest.h>

#include "engine/char_scan.h"
#include "test_support.h"

TEST(FormatHex, WritesWholePairsOfUpperCaseDigits) {
    EXPECT_EQ(FormatHex(0, 4), "0000");
    EXPECT_EQ(FormatHex(0, 2), "00");
    EXPECT_EQ(FormatHex(0, 1), "00");
    EXPECT_EQ(FormatHex(0, 0), "");
    EXPECT_EQ(FormatHex(5, 0), "05");
    EXPECT_EQ(FormatHex(5, 3), "0005");
    EXPECT_EQ(FormatHex(0xA9, 2), "A9");
    EXPECT_EQ(FormatHex(0x100, 2), "0100");
    EXPECT_EQ(FormatHex(0x1234, 2), "1234");
    EXPECT_EQ(FormatHex(0x12345, 4), "012345");
    EXPECT_EQ(FormatHex(-1, 4), "FFFFFFFF");
    EXPECT_EQ(FormatHex(0xabcdef, 2), "ABCDEF");
    EXPECT_EQ(FormatHex(5, 9), "0000000005");
    EXPECT_EQ(FormatHex(-2, 0), "FFFFFFFE");
}

TEST(ParseNumber, ReadsTheSharedNumberSyntax) {
    EXPECT_EQ(ParseNumber("$a9"), 169);
    EXPECT_EQ(ParseNumber("  $A9 "), 169);
    EXPECT_EQ(ParseNumber("0x1F"), 31);
    EXPECT_EQ(ParseNumber("X1f"), 31);
    EXPECT_EQ(ParseNumber("x10"), 16);
    EXPECT_EQ(ParseNumber("-$10"), -16);
    EXPECT_EQ(ParseNumber("-$10 "), -16);
    EXPECT_EQ(ParseNumber("+12"), 12);
    EXPECT_EQ(ParseNumber("$"), 0);
    EXPECT_EQ(ParseNumber("E_0400"), 0);
    EXPECT_EQ(ParseNumber("12ab"), 12);
    EXPECT_EQ(ParseNumber(""), 0);
    EXPECT_EQ(ParseNumber("0"), 0);
    EXPECT_EQ(ParseNumber("0123"), 123);
    EXPECT_EQ(ParseNumber("\t5"), 0);  // only the blank is skipped
}

TEST(ParseNumber, StopsBeforeOverflowOnEndlessDigits) {
    EXPECT_GT(ParseNumber(std::string(100, '9')), 0);
    EXPECT_GT(ParseNumber("$" + std::string(100, 'F')), 0);
}

TEST(ParseNumber32, DropsTheSignWhenReadingStopsEarly) {
    EXPECT_EQ(ParseNumber32("-$10 "), 16);
    EXPECT_EQ(ParseNumber32("-$10"), -16);
    EXPECT_EQ(ParseNumber32("-5x"), 5);
    EXPECT_EQ(ParseNumber32("$12G0"), 0x12);
    EXPECT_EQ(ParseNumber32(""), 0);
    EXPECT_EQ(ParseNumber32("xyz"), 0);
}

TEST(ParseNumber32, TakesNoDigitPastTheCutOff) {
    EXPECT_EQ(ParseNumber32("214748364"), 214748364);
    EXPECT_EQ(ParseNumber32("2147483647"), 2147483647);
    EXPECT_EQ(ParseNumber32("21474836499"), -2147483647);  // 2147483649 wraps; the last 9 is left
    EXPECT_EQ(ParseNumber32("2147483648"), INT32_MIN);
    EXPECT_EQ(ParseNumber32("$FFFFFFFF"), -1);
    EXPECT_EQ(ParseNumber32("$123456789"), 0x12345678);
    EXPECT_EQ(ParseNumber32("-$123456789"), 0x12345678);  // stopped early: no sign
}

TEST(IsTextChar, AcceptsExactlyTheStringCharacters) {
    const std::pair<int, bool> table[] = {
        {0x20, true},  {0x27, true},  {0x22, true},  {0x2A, true},  {0x2B, false}, {0x2C, true},
        {0x5B, true},  {0x5C, false}, {0x5D, true},  {0x5E, true},  {0x5F, false}, {0x60, false},
        {0x61, true},  {0x7A, true},  {0x7B, false}, {0x7F, false}, {0x1F, false}, {0x00, false},
        {0x80, false}, {0xFF, false}, {0x41, true},  {0x39, true}};
    for (auto [b, expected] : table) EXPECT_EQ(IsTextChar(b), expected) << "byte " << b;
}

TEST(ByteStyle, FollowsTheDataStyleAndKeepsQuotesOutOfStrings) {
    TestRun run;
    for (int b = 0; b < 256; ++b) EXPECT_EQ(ByteStyle(*run, b), 'D');
    run->dataStyle = 'A';
    for (int b = 0; b < 256; ++b) {
        char expected = IsTextChar(b) && b != 0x27 ? 'A' : 'D';
        EXPECT_EQ(ByteStyle(*run, b), expected) << "byte " << b;
    }
}

// The two ways of gathering a chunk's matches agree, and so does counting them: every byte
// value in every lane, and random mixes of matches.
TEST(MatchBits, GathersTheSameBitsEitherWay) {
    uint32_t seed = 11;
    for (int round = 0; round < 4096; ++round) {
        char bytes[sizeof(CharChunk)];
        for (size_t k = 0; k < sizeof bytes; ++k) {
            seed = seed * 1103515245u + 12345u;
            bytes[k] = round < 256             ? static_cast<char>(round + static_cast<int>(k))
                       : (seed >> 16) % 3 == 0 ? 'A'
                                               : static_cast<char>(seed >> 20);
        }
        const CharChunk matches = LoadChunk(bytes) == 'A';
        uint32_t expected = 0;
        for (size_t k = 0; k < sizeof bytes; ++k) {
            if (bytes[k] == 'A') expected |= uint32_t{1} << k;
        }
        ASSERT_EQ(MatchBits(matches), expected) << round;
        ASSERT_EQ(MatchBitsByMultiplying(matches), expected) << round;
        ASSERT_EQ(BitCount(expected), __builtin_popcount(expected)) << round;
    }
}

// Tabs become blanks at every length and position, whole chunks and the bytes after them alike,
// and nothing past the copy is written.
TEST(CopyTabsAsBlanks, TurnsEveryTabIntoABlankAndWritesNothingMore) {
    uint32_t seed = 5;
    for (size_t length = 0; length <= 3 * sizeof(CharChunk) + 1; ++length) {
        for (int round = 0; round < 64; ++round) {
            std::string from(length, ' '), expected(length + 1, '#');
            for (size_t k = 0; k < length; ++k) {
                seed = seed * 1103515245u + 12345u;
                from[k] = (seed >> 16) % 4 == 0 ? '\t' : static_cast<char>(seed >> 20);
                expected[k] = from[k] == '\t' ? ' ' : from[k];
            }
            std::string to(length + 1, '#');
            ASSERT_EQ(CopyTabsAsBlanks(to.data(), from.data(), length), to.data() + length);
            ASSERT_EQ(to, expected) << length << " " << round;
        }
    }
}
