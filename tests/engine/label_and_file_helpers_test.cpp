#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "driver/stops.h"
#include "engine/asm_lines.h"
#include "engine/file_tests.h"
#include "engine/label_helpers.h"
#include "engine/user_notes.h"
#include "test_support.h"

TEST(IsLabelTarget, NeedsBothBitmapsAndTheAddressSpace) {
    TestRun run;
    SetBit(run->referencedMap, 0x1234);
    EXPECT_FALSE(IsLabelTarget(*run, 0x1234));
    SetBit(run->codeRefMap, 0x1234);
    EXPECT_TRUE(IsLabelTarget(*run, 0x1234));
    EXPECT_FALSE(IsLabelTarget(*run, 0x1235));
    EXPECT_FALSE(IsLabelTarget(*run, -1));
    EXPECT_FALSE(IsLabelTarget(*run, 0x10000));
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

TEST(LabelField, GivesTheLabelOnlyInTheListingPhase) {
    TestRun run;
    run->currentAddress = 0x0400;
    SetBit(run->referencedMap, 0x0400);
    SetBit(run->codeRefMap, 0x0400);
    run->phase = 1;
    EXPECT_EQ(LabelField(*run), "\t");
    run->phase = 2;
    EXPECT_EQ(LabelField(*run), "E_0400\t");
    run->currentAddress = 0x0401;
    EXPECT_EQ(LabelField(*run), "\t");
}

TEST(FileTests, AnswerWithoutFailingTheRun) {
    TempDir dir;
    WriteFile("present", "x");
    EXPECT_TRUE(FileExists("present"));
    EXPECT_FALSE(FileExists("missing"));
    EXPECT_FALSE(FileExists(""));
    mkdir("folder", 0755);
    EXPECT_FALSE(FileExists("folder"));
    EXPECT_FALSE(CanWriteFile("folder"));
    EXPECT_FALSE(CanWriteFile(""));

    EXPECT_TRUE(CanWriteFile("present"));
    EXPECT_EQ(ReadFile("present"), "x");  // a test changes nothing
    EXPECT_TRUE(CanWriteFile("new"));
    EXPECT_FALSE(PathExists("new"));
    EXPECT_FALSE(CanWriteFile("no-such-folder/x"));

    mkfifo("pipe", 0644);  // opening it would wait for a writer or reader for ever
    EXPECT_FALSE(FileExists("pipe"));
    EXPECT_FALSE(CanWriteFile("pipe"));
}

TEST(FileTests, ReadOnlyFileIsNotWritableAndStaysUnchanged) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
    TempDir dir;
    WriteFile("locked", "keep");
    chmod("locked", 0444);
    EXPECT_FALSE(CanWriteFile("locked"));
    EXPECT_EQ(ReadFile("locked"), "keep");
    chmod("locked", 0000);
    EXPECT_FALSE(FileExists("locked"));
}

TEST(AsmLines, WriteOnlyInPhaseTwoAndCloseOpenDataLines) {
    TempDir dir;
    TestRun run;
    run->asmFile.Create("out");
    run->phase = 1;
    WriteAsmLine(*run, "not written");
    run->phase = 2;
    WriteAsmLine(*run, "\tnop");
    run->dataColumn = 3;
    CloseDataLine(*run);
    EXPECT_EQ(run->dataColumn, 0);
    CloseDataLine(*run);  // nothing open: nothing written
    run->dataStyle = 'A';
    run->dataColumn = 1;
    CloseDataLine(*run);
    run->asmFile.Close();
    EXPECT_EQ(ReadFile("out"), "\tnop\r\n\r\n'\r\n");
}

// Names the assembler would read as something else, or that would clash, are refused with a
// line that says why (the run stops with the usage status).
TEST(UserNames, RefuseNamesAnAssemblerReadsOtherwise) {
    const std::pair<const char*, const char*> cases[] = {
        {"", "the name is empty"},
        {"1st", "a name starts with a letter or \"_\""},
        {"a-b", "a name holds only letters, digits and \"_\""},
        {"LDA", "LDA is a mnemonic"},
        {"org", "org is a directive"},
        {"E_12AB", "E_12AB has the form of a generated label"},
        {"e1_0000", "e1_0000 has the form of a generated label"},
        {"twice", "twice is given twice"}};
    for (const auto& [name, fault] : cases) {
        TestRun run;
        run->mnemonicTable[0xA9] = "lda #N";
        run->userNames = {{0x1000, "twice"}, {0x2000, name}};
        try {
            CheckUserNames(*run);
            ADD_FAILURE() << name;
        } catch (const UsageStop& stop) {
            EXPECT_EQ(stop.message, "Bad option -n$2000=" + std::string(name) + ": " + fault + ".");
        }
    }
    TestRun run;
    run->userNames = {{0x1000, "loop_1"}, {0x1000, "other"}};
    EXPECT_THROW(CheckUserNames(*run), UsageStop);  // one address, two names
    run->userNames = {{0x1000, "_ok"}, {0x2000, "E_12"}, {0x3000, "Ea_1234"}};
    EXPECT_NO_THROW(CheckUserNames(*run));
}
