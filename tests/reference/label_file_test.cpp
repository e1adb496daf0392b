#include "reference/label_file.h"

#include <gtest/gtest.h>

#include "core/address_table.h"
#include "test_support.h"

namespace {

// Loads the label text in a fresh folder; returns the names file.
std::string LoadNames(RunState& state, const std::string& labels) {
    WriteFile("memory.qvt", labels);
    LoadLabelNames(state);
    return ReadFile("_temp.$$$");
}

}  // namespace

TEST(LoadLabelNames, WritesOneNamesLinePerEntryAndSetsItsBit) {
    TempDir dir;
    TestRun run;
    std::string names = LoadNames(*run,
                                  "; comment line $1234\n"
                                  "portb $d301 ; port B\n"
                                  "tabbed\t$D200\n"
                                  "\n"
                                  "only ; comment $4000\n"
                                  "long $d3012\n");
    EXPECT_EQ(names, "portb $d301 \r\ntabbed $D200\r\nlong $d3012\r\n");
    EXPECT_TRUE(TestBit(run->namedAddresses, 0xD301));
    EXPECT_TRUE(TestBit(run->namedAddresses, 0xD200));
    EXPECT_FALSE(TestBit(run->namedAddresses, 0x1234));
    EXPECT_FALSE(TestBit(run->namedAddresses, 0x4000));
    EXPECT_FALSE(TestBit(run->namedAddresses, 0x3012));
}

TEST(LoadLabelNames, KeepsOddEntriesAsTheyStand) {
    TempDir dir;
    TestRun run;
    SetBit(run->namedAddresses, 0x5555);  // cleared by the load
    std::string names = LoadNames(*run,
                                  "short $80\n"
                                  "  indented $0600\n"
                                  "$0700\n"
                                  "junk $xyz\n"
                                  "portb+1 $d302\n");
    EXPECT_EQ(names, "short $80\r\n  indented $0600\r\n $0700\r\njunk $xyz\r\nportb+1 $d302\r\n");
    EXPECT_TRUE(TestBit(run->namedAddresses, 0x80));
    EXPECT_TRUE(TestBit(run->namedAddresses, 0x0600));
    EXPECT_TRUE(TestBit(run->namedAddresses, 0x0700));
    EXPECT_TRUE(TestBit(run->namedAddresses, 0));  // no digits read as 0
    EXPECT_TRUE(TestBit(run->namedAddresses, 0xD302));
    EXPECT_FALSE(TestBit(run->namedAddresses, 0x5555));
}

TEST(LoadLabelNames, AnEmptyFileSetsNothing) {
    TempDir dir;
    TestRun run;
    EXPECT_EQ(LoadNames(*run, ""), "");
    for (uint8_t b : run->namedAddresses) EXPECT_EQ(b, 0);
}

TEST(NameForKey, FindsTheFirstLineHoldingTheKeyInUpperCase) {
    TempDir dir;
    TestRun run;
    LoadNames(*run,
              "portb $d301\n"
              "second $D301\n"
              "short $80\n"
              "zp $0080\n"
              "  blank $0600\n"
              "five $d3012\n");
    EXPECT_EQ(NameForKey(*run, "$D301"), "PORTB");
    EXPECT_EQ(NameForKey(*run, "$0080"), "ZP");
    EXPECT_EQ(NameForKey(*run, "$0600"), "");  // the line starts with a blank: empty name
    EXPECT_EQ(NameForKey(*run, "$1234"), "");
    // "$D3012" holds "$D301" too, but a later line than portb.
    EXPECT_EQ(NameForKey(*run, "$D301"), "PORTB");
}
