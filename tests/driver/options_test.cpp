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

// -n and -c texts that would not rebuild are refused as options: an address not written whole,
// a comment with a control character (a line break from the command line adds a source line),
// and texts past what one assembler line holds; what fits is taken.
TEST(ParseOption, RefusesNamesAndCommentsThatWouldNotRebuild) {
    EXPECT_TRUE(Rejects("-n$20O0=main"));
    EXPECT_TRUE(Rejects("-nfoo=main"));
    EXPECT_TRUE(Rejects("-c$0600=x\n\tdta $EA"));
    EXPECT_TRUE(Rejects("-c$0600=x\rdta $EA"));
    EXPECT_TRUE(Rejects("-c$0600=" + std::string(kMaxCommentLength + 1, 'x')));
    EXPECT_TRUE(Rejects("-n$0600=" + std::string(kMaxNameLength + 1, 'x')));
    EXPECT_FALSE(Rejects("-c$0600=" + std::string(kMaxCommentLength, 'x')));
    EXPECT_FALSE(Rejects("-c$0600=a\tb"));
    EXPECT_FALSE(Rejects("-n8192=main"));
    EXPECT_FALSE(Rejects("-n0x2000=main"));
}

// Options files that name each other are each read once: the options come once, and a file
// that names itself while it is read still stops the run.
TEST(ParseArgument, ReadsEachOptionsFileOnce) {
    TempDir dir;
    WriteFile("a.opt", "@b.opt\r\n@b.opt\r\n@c.opt\r\n");
    WriteFile("b.opt", "@c.opt\r\n@c.opt\r\n-c$0400=b\r\n");
    WriteFile("c.opt", "-c$0401=c\r\n");
    TestRun run;
    ParseArgument(*run, "@a.opt");
    ASSERT_EQ(run->userComments.size(), 2u);
    EXPECT_EQ(run->optionFiles.size(), 3u);

    WriteFile("self.opt", "-c$0400=x\r\n@self.opt\r\n");
    TestRun again;
    EXPECT_THROW(ParseArgument(*again, "@self.opt"), ErrorStop);
}
