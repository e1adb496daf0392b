#include <gtest/gtest.h>

#include "core/address_table.h"
#include "engine/asm_lines.h"
#include "engine/label_helpers.h"
#include "engine/text_helpers.h"
#include "engine/user_notes.h"
#include "files/stops.h"
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

TEST(ByteStyle, FollowsTheDataStyleAndKeepsQuotesOutOfStrings) {
    TestRun run;
    for (int b = 0; b < 256; ++b) EXPECT_EQ(ByteStyle(*run, b), 'D');
    run->dataStyle = 'A';
    for (int b = 0; b < 256; ++b) {
        char expected = IsTextChar(b) && b != 0x27 ? 'A' : 'D';
        EXPECT_EQ(ByteStyle(*run, b), expected) << "byte " << b;
    }
}
