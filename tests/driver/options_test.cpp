#include "driver/options.h"

#include <gtest/gtest.h>

#include "core/address_table.h"
#include "files/stops.h"
#include "test_support.h"

namespace {

void Parse(RunState& state, std::initializer_list<const char*> arguments) {
    for (const char* a : arguments) ParseOption(state, a);
}

bool Rejects(const std::string& argument) {
    TestRun run;
    try {
        ParseOption(*run, argument);
    } catch (const UsageStop&) {
        return true;
    }
    return false;
}

}  // namespace

TEST(ParseOption, SetsFlagsWithEitherLeaderAndAnyCase) {
    TestRun run;
    Parse(*run, {"/L", "-m", "-D"});
    EXPECT_EQ(run->useLabelFile, 1);
    EXPECT_EQ(run->mnemonicsOff, 1);
    EXPECT_EQ(run->dataBlockOnly, 1);

    TestRun other;
    Parse(*other, {"-dx"});  // characters after the letter are ignored
    EXPECT_EQ(other->dataBlockOnly, 1);
}

TEST(ParseOption, ReadsAddressesAndSkipsWithTheNumberSyntax) {
    TestRun run;
    Parse(*run, {"-a$12G0"});
    EXPECT_EQ(run->startAddress, 0x12);
    Parse(*run, {"-a"});
    EXPECT_EQ(run->startAddress, 0);
    Parse(*run, {"-a1024"});
    EXPECT_EQ(run->startAddress, 0x400);
    Parse(*run, {"-a-$10"});  // a negative start is accepted
    EXPECT_EQ(run->startAddress, -16);
    Parse(*run, {"-s$10"});
    EXPECT_EQ(run->skipCount, 16);
    EXPECT_EQ(run->dataStyle, 'D');
    Parse(*run, {"-s"});
    EXPECT_EQ(run->skipCount, 0);
    Parse(*run, {"-s$10", "-sx"});
    EXPECT_EQ(run->skipCount, 0);
}

TEST(ParseOption, LaterStyleOptionsOverrideEarlierOnes) {
    TestRun run;
    Parse(*run, {"-sa$10"});
    EXPECT_EQ(run->dataStyle, 'A');
    EXPECT_EQ(run->skipCount, 0);
    Parse(*run, {"-sa", "-sd$10"});
    EXPECT_EQ(run->dataStyle, 'D');
    EXPECT_EQ(run->skipCount, 0);
}

TEST(ParseOption, BlockOptionsMarkOneAddressEach) {
    TestRun run;
    Parse(*run, {"-bd$2000", "-bc$2000", "-bc2000", "-BAD$3000", "-bac$3100"});
    EXPECT_EQ(InfoAt(*run, 0x2000).isCode, 1);
    EXPECT_EQ(InfoAt(*run, 0x2000).isEntry, 1);
    EXPECT_EQ(InfoAt(*run, 0x2000).blockKind, 0);
    EXPECT_TRUE(TestBit(run->referencedMap, 0x2000));
    EXPECT_TRUE(TestBit(run->codeRefMap, 0x2000));
    EXPECT_EQ(InfoAt(*run, 2000).isEntry, 1);  // decimal 2000, not $2000

    AddressInfo table = InfoAt(*run, 0x3000);
    EXPECT_EQ(table.isCode, 0);
    EXPECT_EQ(table.isEntry, 1);
    EXPECT_EQ(table.blockKind, 'W');
    EXPECT_FALSE(TestBit(run->referencedMap, 0x3000));
    EXPECT_FALSE(TestBit(run->codeRefMap, 0x3000));
    EXPECT_EQ(InfoAt(*run, 0x3100).blockKind, 'B');
    EXPECT_EQ(InfoAt(*run, 0x3100).isCode, 1);
}

TEST(ParseOption, RejectsWhatItDoesNotUnderstand) {
    for (const char* bad : {"", "x", "-", "-y", "-b", "-ba", "-bx$2000", "-bax$2000", "-bc$10000",
                            "-bd-1", "-bac$12345", "-bad-$10", "-s-5"}) {
        EXPECT_TRUE(Rejects(bad)) << bad;
    }
    for (const char* good : {"-bc$FFFF", "-bd0", "-s-5x", "-a$12345", "-x", "/X"}) {
        EXPECT_FALSE(Rejects(good)) << good;
    }
}
