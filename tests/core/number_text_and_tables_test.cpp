#include <gtest/gtest.h>

#include "core/address_table.h"
#include "core/number_text.h"
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

TEST(Bitmaps, PutTheLowestAddressInTheHighestBit) {
    TestRun run;
    SetBit(run->codeRefMap, 0x0400);
    SetBit(run->codeRefMap, 0x0407);
    EXPECT_EQ(run->codeRefMap[0x80], 0x81);
    ClearBit(run->codeRefMap, 0x0400);
    EXPECT_EQ(run->codeRefMap[0x80], 0x01);
    SetBit(run->codeRefMap, -8);       // ignored
    SetBit(run->codeRefMap, 0x10000);  // ignored
    EXPECT_FALSE(TestBit(run->codeRefMap, -8));
}
