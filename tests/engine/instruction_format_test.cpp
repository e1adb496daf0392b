#include "engine/instruction_format.h"

#include <gtest/gtest.h>

#include <random>

#include "core/address_table.h"
#include "test_support.h"

namespace {

const std::vector<std::pair<int, std::string>> kPatterns = {
    {0xA9, "lda #N"}, {0xAD, "lda Q"},   {0xBD, "lda Q,x"},   {0x4C, "jmp Q"},
    {0x20, "jsr Q"},  {0x85, "sta Z"},   {0xB1, "lda (N),y"}, {0xD0, "bne L"},
    {0xEA, "nop"},    {0x6C, "jmp (Q)"}, {0x8D, "sta Q"},     {0x0A, "asl  "}};

// A run with an image whose first byte is the opcode of the instruction under test.
class FormatTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetPatterns(*run, kPatterns);
        run->tmpFile.Create(kInnerLabelFileName);
    }

    std::string Format(const std::string& image, int64_t address = 0x400, int phase = 2) {
        run->startAddress = address;
        run->phase = static_cast<uint8_t>(phase);
        OpenImage(*run, image);
        run->currentAddress = address;
        run->currentByte = run->sourceFile.ReadByte();
        return FormatInstruction(*run, run->currentByte);
    }

    void Label(int64_t address) {
        SetBit(run->referencedMap, address);
        SetBit(run->codeRefMap, address);
    }

    std::string InnerLabels() {
        run->tmpFile.Close();
        return ReadFile(kInnerLabelFileName);
    }

    TempDir dir;
    TestRun run;
};

}  // namespace

TEST_F(FormatTest, ListingExamples) {
    EXPECT_EQ(Format(Bytes({0xA9, 0x12})), "lda #$12");
    EXPECT_EQ(run->instructionLength, 2);
    EXPECT_EQ(Format(Bytes({0xAD, 0x34, 0x12})), "lda $1234");
    EXPECT_EQ(run->instructionLength, 3);
    EXPECT_EQ(Format(Bytes({0xBD, 0x12, 0x00})), "lda.w $0012,x");
    EXPECT_EQ(Format(Bytes({0x4C, 0x12, 0x00})), "jmp $0012");
    EXPECT_EQ(Format(Bytes({0x20, 0x12, 0x00})), "jsr $0012");
    EXPECT_EQ(Format(Bytes({0xAD, 0x00, 0x01})), "lda $0100");
    EXPECT_EQ(Format(Bytes({0x85, 0x12})), "sta $0012");
    EXPECT_EQ(Format(Bytes({0xB1, 0x80})), "lda ($80),y");
    EXPECT_EQ(Format(Bytes({0xD0, 0xFE})), "bne $0400");
    EXPECT_EQ(Format(Bytes({0xD0, 0x10}), 0x410), "bne $0422");
    EXPECT_EQ(Format(Bytes({0xEA})), "nop");
    EXPECT_EQ(run->instructionLength, 1);
    EXPECT_EQ(Format(Bytes({0x0A})), "asl");  // no trailing blanks, even without an operand
}

TEST_F(FormatTest, LabelsReplaceOperandsInsideTheImageButNotItsLastAddress) {
    Label(0x0600);
    std::string image = Bytes({0xAD, 0x00, 0x06});
    image.resize(0x201, '\0');  // the image covers $0400-$0600: $0600 is its last address
    EXPECT_EQ(Format(image), "lda $0600");
    image.resize(0x202, '\0');
    EXPECT_EQ(Format(image), "lda E_0600");
    EXPECT_EQ(Format(Bytes({0xD0, 0xFE, 0x00})), "bne $0400");
    Label(0x0400);
    EXPECT_EQ(Format(Bytes({0xD0, 0xFE, 0x00})), "bne E_0400");
    Label(0x0401);  // the image's last address keeps its number
    EXPECT_EQ(Format(Bytes({0xD0, 0xFF})), "bne $0401");
    EXPECT_EQ(Format(Bytes({0xD0, 0xFE})), "bne E_0400");
    Label(0x0012);
    std::string zeroPage = Bytes({0xA9, 0x12});
    zeroPage.resize(0x100, '\0');
    EXPECT_EQ(Format(zeroPage, 0), "lda #$12");                       // never a label for N
    EXPECT_EQ(Format(Bytes({0x85, 0x12, 0x00}), 0x10), "sta $0012");  // the last address
}

TEST_F(FormatTest, BranchTargetsCountFromTheNextInstructionAndWrap) {
    EXPECT_EQ(Format(Bytes({0xD0, 0x80}), 0x480), "bne $0402");
    EXPECT_EQ(Format(Bytes({0xD0, 0x7F}), 0x480), "bne $0501");
    EXPECT_EQ(Format(Bytes({0xD0, 0xF0}), 0x0000), "bne $FFF2");
    EXPECT_EQ(Format(Bytes({0xD0, 0x10}), 0xFFF8), "bne $000A");
    EXPECT_EQ(run->operandValue, 0x000A);
}

TEST_F(FormatTest, PhaseOneRecordsOperandsExceptHardwareRegisters) {
    EXPECT_EQ(Format(Bytes({0xA9, 0x12}), 0x400, 1), "lda #$0012");
    EXPECT_TRUE(TestBit(run->referencedMap, 0x0012));
    EXPECT_EQ(Format(Bytes({0x8D, 0x00, 0xD0}), 0x400, 1), "sta $D000");
    EXPECT_EQ(Format(Bytes({0x8D, 0xFF, 0xD7}), 0x400, 1), "sta $D7FF");
    EXPECT_EQ(Format(Bytes({0x8D, 0x00, 0xD8}), 0x400, 1), "sta $D800");
    EXPECT_FALSE(TestBit(run->referencedMap, 0xD000));
    EXPECT_FALSE(TestBit(run->referencedMap, 0xD7FF));
    EXPECT_TRUE(TestBit(run->referencedMap, 0xD800));
    Label(0x0400);  // no labels in phase 1
    EXPECT_EQ(Format(Bytes({0xD0, 0xFE, 0x00}), 0x400, 1), "bne $0400");
}

TEST_F(FormatTest, InstructionsCutByTheEndOfTheFileBecomeData) {
    EXPECT_EQ(Format(Bytes({0xAD, 0x12})), "dta $AD,($12)");
    EXPECT_EQ(run->instructionLength, 3);
    EXPECT_EQ(Format(Bytes({0xAD})), "dta $AD");
    EXPECT_EQ(Format(Bytes({0xA9})), "dta $A9");
    run->skipCount = 2;
    EXPECT_EQ(Format(Bytes({0x00, 0x00, 0xAD, 0x12}), 0x400, 1).substr(0, 3), "dta");
    run->mnemonicsOff = 1;
    run->skipCount = 0;
    EXPECT_EQ(Format(Bytes({0xAD, 0x12}), 0x400, 1), "dta $AD,($12)");
    EXPECT_FALSE(TestBit(run->referencedMap, 0x12));  // cut instructions record nothing
}

TEST_F(FormatTest, SkippedBytesShiftTheFileButNotTheAddress) {
    run->skipCount = 3;
    run->startAddress = 0x400;
    run->phase = 2;
    OpenImage(*run, Bytes({1, 2, 3, 0xAD, 0x34, 0x12}));
    run->currentAddress = 0x400;
    run->currentByte = run->sourceFile.ReadByte();
    EXPECT_EQ(FormatInstruction(*run, run->currentByte), "lda $1234");
}

TEST_F(FormatTest, MnemonicsOffWritesBytesAndWords) {
    run->mnemonicsOff = 1;
    EXPECT_EQ(Format(Bytes({0xAD, 0x34, 0x12})), "dta $AD,a($1234)");
    EXPECT_EQ(Format(Bytes({0xA9, 0x12})), "dta $A9,$12");
    EXPECT_EQ(Format(Bytes({0xD0, 0xFE})), "dta $D0,$FE");
    EXPECT_EQ(Format(Bytes({0x85, 0x80})), "dta $85,$80");
    EXPECT_EQ(Format(Bytes({0xEA})), "nop");
}

TEST_F(FormatTest, LabelsInsideTheInstructionGoToTheInnerLabelFile) {
    Label(0x0401);
    Label(0x0402);
    run->anchorLabel.clear();
    EXPECT_EQ(Format(Bytes({0xAD, 0x34, 0x12, 0xEA})), "lda $1234");
    EXPECT_EQ(run->anchorLabel, "E_0400");
    EXPECT_EQ(InnerLabels(), "E_0402E_0400+2\r\nE_0401E_0400+1\r\n");
}

TEST_F(FormatTest, NamesReplaceNumericOperandsWithTheLabelFile) {
    WriteFile("memory.qvt", "");
    WriteFile("_temp.$$$", "portb $d301\r\nzp $0080\r\nscales $0230\r\n  blank $0600\r\n");
    run->useLabelFile = 1;
    for (int64_t a : {0xD301, 0x80, 0x0230, 0x0600, 0x0700}) SetBit(run->namedAddresses, a);
    EXPECT_EQ(Format(Bytes({0x8D, 0x01, 0xD3})), "sta PORTB");
    EXPECT_EQ(Format(Bytes({0x85, 0x80})), "sta ZP");
    EXPECT_EQ(Format(Bytes({0xB1, 0x80})), "lda (ZP),y");        // key widened to $0080
    EXPECT_EQ(Format(Bytes({0xA9, 0x80})), "lda #$80");          // never for immediates
    EXPECT_EQ(Format(Bytes({0xAD, 0x30, 0x02})), "lda SCALES");  // Q, Z, L in a name start nothing
    EXPECT_EQ(run->instructionLength, 3);
    EXPECT_EQ(Format(Bytes({0xAD, 0x00, 0x06})), "lda $0600");  // empty name: stays numeric
    EXPECT_EQ(Format(Bytes({0xAD, 0x00, 0x07})), "lda $0700");  // no line holds the key
    Label(0x0401);
    std::string image = Bytes({0x8D, 0x01, 0x04});
    image.resize(16, '\0');
    SetBit(run->namedAddresses, 0x0401);
    EXPECT_EQ(Format(image), "sta E_0401");  // a code label wins over a name
}

TEST_F(FormatTest, OpenDataLineIsClosedInTheListingPhase) {
    run->asmFile.Create("listing");
    run->dataColumn = 4;
    Format(Bytes({0xEA}));
    EXPECT_EQ(run->dataColumn, 0);
    run->asmFile.Close();
    EXPECT_EQ(ReadFile("listing"), "\r\n");
}

// The listing writes instructions from per-opcode templates; it must give what FormatInstruction
// gives, effects included, for any mnemonic file, image, labels and names.
TEST(AppendInstruction, WritesWhatFormatInstructionWrites) {
    const char* pieces[] = {"lda #N", "lda Q",  "lda Q,x", "sta Z",    "lda (N),y", "jmp Q",
                            "jsr Q",  "bne L",  "nop",     "rts  ",    "lda  Q  ",  "Q",
                            "ldaQ",   "lda Qa", "ld Q",    "x $12 Q",  "lda $Q",    "jmp (Q)",
                            "asl",    "L",      "lda #$N", "sta Z,x ", "lda.w Q",   ""};
    std::mt19937 random(17);
    TempDir dir;
    WriteFile("_temp.$$$", "portb $d301\r\nzp $0080\r\nlow $0012\r\n");
    for (int round = 0; round < 400; ++round) {
        std::array<std::string, 256> table;
        for (std::string& p : table) p = pieces[random() % (sizeof pieces / sizeof *pieces)];
        std::string image(4 + random() % 3, '\0');
        for (char& b : image) b = static_cast<char>(random() % 3 ? random() : random() % 0x20);
        const int64_t address = std::vector<int64_t>{0x400, 0x00FE, 0xFFFE}[random() % 3];
        if (random() % 2) {  // an operand at the image's last bytes, where labels stop
            const int64_t target = address + static_cast<int64_t>(image.size()) - 1 - random() % 2;
            image[1] = static_cast<char>(target & 0xFF);
            image[2] = static_cast<char>((target >> 8) & 0xFF);
        }
        const uint8_t mnemonicsOff = random() % 8 == 0;
        const int dataColumn = random() % 2;
        std::array<TestRun, 2> runs;
        std::array<std::string, 2> texts;
        for (int way = 0; way < 2; ++way) {
            RunState& state = *runs[way];
            state.mnemonicTable = table;
            state.phase = 2;
            state.mnemonicsOff = mnemonicsOff;
            state.useLabelFile = round % 2;
            for (int64_t a : {0xD301, 0x80, 0x12}) SetBit(state.namedAddresses, a);
            for (int64_t a : {address + 1, address + 2, address + 3, address + 4, address + 5,
                              int64_t{0x12}, int64_t{0x0380}}) {
                SetBit(state.referencedMap, a);
                SetBit(state.codeRefMap, a);
            }
            state.startAddress = address;
            state.tmpFile.Create("inner" + std::to_string(way));
            state.asmFile.Create("listing" + std::to_string(way));
            OpenImage(state, image, "image" + std::to_string(way) + ".bin");
            state.currentAddress = address;
            state.currentByte = state.sourceFile.ReadByte();
            state.dataColumn = dataColumn;
            if (way == 0) {
                texts[0] = FormatInstruction(state, state.currentByte);
            } else {
                AppendInstruction(state, InstructionTemplates(state), state.currentByte, texts[1]);
            }
            state.tmpFile.Close();
            state.asmFile.Close();
        }
        ASSERT_EQ(texts[0], texts[1]) << "round " << round;
        ASSERT_EQ(runs[0]->instructionLength, runs[1]->instructionLength) << round;
        ASSERT_EQ(runs[0]->anchorLabel, runs[1]->anchorLabel) << round;
        ASSERT_EQ(runs[0]->sourceFile.Position(), runs[1]->sourceFile.Position()) << round;
        ASSERT_EQ(ReadFile("inner0"), ReadFile("inner1")) << round;
        ASSERT_EQ(ReadFile("listing0"), ReadFile("listing1")) << round;
    }
}
