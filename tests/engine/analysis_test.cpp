#include "engine/analysis.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "core/address_table.h"
#include "driver/run_sequence.h"
#include "engine/atari_file.h"
#include "engine/step_decoding.h"
#include "test_support.h"

namespace {

const std::vector<std::pair<int, std::string>> kPatterns = {
    {0x4C, "jmp Q"}, {0xEA, "nop"},    {0xA2, "ldx #N"}, {0xD0, "bne L"},  {0x60, "rts"},
    {0xAD, "lda Q"}, {0xA9, "lda #N"}, {0x20, "jsr Q"},  {0x6C, "jmp (Q)"}};

class AnalysisTest : public ::testing::Test {
  protected:
    void SetUp() override { SetPatterns(*run, kPatterns); }

    // Runs the passes over the image; returns the number of passes (dots on the console).
    size_t Analyse(const std::string& image, int64_t start = 0x400) {
        run->startAddress = start;
        OpenImage(*run, image);
        run->passAgain = 1;
        RunAnalysis(*run);
        return run.Console().size();
    }

    uint8_t Code(int64_t a) { return InfoAt(*run, a).isCode; }
    uint8_t Entry(int64_t a) { return InfoAt(*run, a).isEntry; }
    bool Labelled(int64_t a) {
        return TestBit(run->referencedMap, a) && TestBit(run->codeRefMap, a);
    }

    TempDir dir;
    TestRun run;
};

}  // namespace

TEST_F(AnalysisTest, BackwardBranchIntoDataTakesASecondPass) {
    EXPECT_EQ(
        Analyse(Bytes({0x4C, 0x08, 0x04, 0xFF, 0xEA, 0xEA, 0xEA, 0xEA, 0xA2, 0x00, 0xD0, 0xF8})),
        2u);
    EXPECT_EQ(Code(0x0403), 0);
    for (int a = 0x0404; a <= 0x040B; ++a) EXPECT_EQ(Code(a), 1) << a;
    EXPECT_EQ(Entry(0x0404), 1);
    EXPECT_EQ(Entry(0x0408), 1);
    EXPECT_TRUE(Labelled(0x0404));
    EXPECT_TRUE(Labelled(0x0408));
    EXPECT_EQ(run->phase, 1);
    EXPECT_FALSE(run->sourceFile.IsOpen());
}

TEST_F(AnalysisTest, StraightCodeAndSelfJumpsTakeOnePass) {
    EXPECT_EQ(Analyse(Bytes({0xEA, 0xEA, 0xEA, 0x4C, 0x03, 0x04})), 1u);
    EXPECT_EQ(Code(0x0403), 1);
}

TEST_F(AnalysisTest, UndefinedOpcodeMakesDataUpToTheNextEntryPoint) {
    // lda $0408 is never a jump: $0408 is no entry point, so everything after $FF stays data.
    EXPECT_EQ(Analyse(Bytes({0xEA, 0xFF, 0xEA, 0xEA, 0xAD, 0x08, 0x04, 0xEA, 0xEA, 0xEA})), 1u);
    EXPECT_EQ(Code(0x0400), 1);
    for (int a = 0x0401; a <= 0x0409; ++a) EXPECT_EQ(Code(a), 0) << a;
    EXPECT_EQ(Code(0xFFFE), 0);      // the marking runs on to the top of memory
    EXPECT_FALSE(Labelled(0x0408));  // seen only in a rejected instruction
    EXPECT_FALSE(TestBit(run->referencedMap, 0x0408));
}

TEST_F(AnalysisTest, UndefinedOpcodeOnAnEntryPointMarksNothing) {
    EXPECT_EQ(Analyse(Bytes({0xFF, 0xEA, 0x60})), 1u);
    EXPECT_EQ(Code(0x0401), 1);
    EXPECT_EQ(Code(0x0402), 1);
}

TEST_F(AnalysisTest, InstructionCoveringAnEntryPointIsRejected) {
    // jmp $0404 makes $0404 an entry point; lda at $0403 would cover it.
    Analyse(Bytes({0x4C, 0x04, 0x04, 0xAD, 0xEA, 0xEA, 0x60, 0xEA, 0xEA, 0xEA, 0xEA}));
    EXPECT_EQ(Code(0x0403), 0);
    EXPECT_EQ(Code(0x0404), 1);
    EXPECT_EQ(Code(0x0405), 1);
}

TEST_F(AnalysisTest, DataBlockOptionWithOneByteInstructionIsCodeAtOnce) {
    PreparedInfo(*run, 0x0401) = {0, 1, 0};  // as -bd$0401 leaves it
    EXPECT_EQ(Analyse(Bytes({0xFF, 0x60})), 1u);
    EXPECT_EQ(Code(0x0401), 1);
}

TEST_F(AnalysisTest, RejectionNearTheEndOfTheFileEndsThePass) {
    // lda # at $0402 covers the entry point $0403 and is rejected; its end plus its length
    // reaches the file size, so the pass ends and $0402 keeps isCode 1.
    SetIsEntry(*run, 0x0403, 1);
    Analyse(Bytes({0xEA, 0xEA, 0xA9, 0x00, 0xEA}));
    EXPECT_EQ(Code(0x0402), 1);

    TestRun longer;
    SetPatterns(*longer, kPatterns);
    SetIsEntry(*longer, 0x0403, 1);
    longer->startAddress = 0x400;
    OpenImage(*longer, Bytes({0xEA, 0xEA, 0xA9, 0x00, 0xEA, 0xEA, 0xEA, 0xEA}), "longer.bin");
    longer->passAgain = 1;
    RunAnalysis(*longer);
    EXPECT_EQ(InfoAt(*longer, 0x0402).isCode, 0);
    EXPECT_EQ(InfoAt(*longer, 0x0403).isCode, 1);
}

TEST_F(AnalysisTest, ImmediatesAndIndirectOperandsMakeNoLabel) {
    Analyse(Bytes({0xA9, 0x05, 0x6C, 0x05, 0x04, 0x60}));
    EXPECT_FALSE(Labelled(0x0005));
    EXPECT_TRUE(TestBit(run->referencedMap, 0x0005));
    EXPECT_FALSE(Labelled(0x0405));
}

TEST_F(AnalysisTest, MnemonicsOffFollowsNoJumpAndMarksOpcodes) {
    run->mnemonicsOff = 1;
    EXPECT_EQ(
        Analyse(Bytes({0x4C, 0x08, 0x04, 0xFF, 0xEA, 0xEA, 0xEA, 0xEA, 0xA2, 0x00, 0xD0, 0xF8})),
        1u);
    EXPECT_TRUE(TestBit(run->codeRefMap, 0x4C));
    EXPECT_EQ(Entry(0x0408), 0);
}

TEST_F(AnalysisTest, EmptyImageOrSkipPastTheEndTakesOnePass) {
    EXPECT_EQ(Analyse(""), 1u);
    TestRun skipped;
    skipped->skipCount = 10;
    OpenImage(*skipped, Bytes({0xEA}), "short.bin");
    skipped->passAgain = 1;
    RunAnalysis(*skipped);
    EXPECT_EQ(skipped.Console(), ".");
}

TEST_F(AnalysisTest, AddressesPastTheTopOfMemoryStayData) {
    std::string image(0x20, static_cast<char>(0xEA));
    Analyse(image, 0xFFF0);
    EXPECT_EQ(Code(0xFFFE), 1);
    EXPECT_EQ(Code(0xFFFF), 1);  // covered by an accepted nop after $FFFE
    EXPECT_EQ(Code(0x0000), 1);  // untouched: bytes past $FFFF never reach the table
}

TEST_F(AnalysisTest, NegativeStartAndBranchBelowZeroTouchNothingOutside) {
    // A branch at $0000 back by 16 wraps to $FFF0, which lies ahead: no new pass.
    EXPECT_EQ(Analyse(Bytes({0xD0, 0xEE, 0x60}), 0x0000), 1u);
    EXPECT_EQ(Entry(0xFFF0), 1);
    TestRun negative;
    SetPatterns(*negative, kPatterns);
    negative->startAddress = -4;
    OpenImage(*negative, Bytes({0xEA, 0xEA, 0xEA, 0xEA, 0xEA, 0xEA, 0xEA, 0xEA, 0x60}), "neg.bin");
    negative->passAgain = 1;
    RunAnalysis(*negative);
    EXPECT_EQ(InfoAt(*negative, 0).isCode, 0);  // preceded by bytes outside: data
    EXPECT_EQ(negative.Console(), ".");
}

TEST(OperandNumber, TakesTheNumberAfterTheFirstBlankDollar) {
    int64_t n = -1;
    EXPECT_TRUE(OperandNumber("lda $1234,x", n));
    EXPECT_EQ(n, 0x1234);
    EXPECT_TRUE(OperandNumber("dta $AD,a($1234)", n));
    EXPECT_EQ(n, 0xAD);
    EXPECT_FALSE(OperandNumber("lda #$0012", n));
    EXPECT_FALSE(OperandNumber("lda ($0080),y", n));
    EXPECT_FALSE(OperandNumber("nop", n));
}

TEST(NoteFlowTarget, KnowsTheTenFlowPrefixesInAnyCase) {
    TestRun run;
    run->currentAddress = 0x0500;
    SetIsCode(*run, 0x0450, 0);
    NoteFlowTarget(*run, "JSR $0450");
    EXPECT_EQ(InfoAt(*run, 0x0450).isEntry, 1);
    EXPECT_EQ(run->passAgain, 1);
    run->passAgain = 0;
    SetBit(run->codeRefMap, 0x0450);
    NoteFlowTarget(*run, "beq $0450");
    EXPECT_EQ(run->passAgain, 0);  // already named by accepted code
    for (const char* other : {"lda $0460", "jmp ($0460)", "bra $0460", "", "jmp"}) {
        NoteFlowTarget(*run, other);
    }
    EXPECT_EQ(InfoAt(*run, 0x0460).isEntry, 0);
    NoteFlowTarget(*run, "bvs $0470,x");
    EXPECT_EQ(InfoAt(*run, 0x0470).isEntry, 1);
}

// The passes that skip building instruction texts must decide exactly as the passes that read
// every text, for any mnemonic file: random tables mixing the usual patterns with odd ones. Half
// of the tables keep only patterns of a plain shape (whose passes run on the bytes in memory), and
// a third of the images are load files of several segments, read with -x.
TEST(RunAnalysis, DecidesAsTheTextOfEveryInstructionWould) {
    const char* pieces[] = {
        "lda #N", "lda Q",     "lda Q,x",     "sta Z",         "sta Z,y", "lda (N),y", "lda (N,x)",
        "jmp Q",  "jsr Q",     "jmp (Q)",     "bne L",         "BEQ L",   "Jsr Q",     "nop",
        "rts  ",  "jmp $1234", "jsr $0400,x", "bpl $0410 ; x", "q Q",     "lda  Q",    "lda Q1",
        "lda $Q", "ldaQ",      "lda Qa",      "x $12 Q",       "bne L,Z", "sta Z,N",   "jmp Q$",
        "dta N",  "lda.w Q",   "bcs  L",      "jmp",           "",        "L",         "lda #$N",
        "xy Z z", "JSR Q",     "Jmp Q"};
    std::mt19937 random(3);
    for (int round = 0; round < 150; ++round) {
        std::array<std::string, 256> table;
        for (std::string& pattern : table) {
            pattern = random() % 4 == 0 ? "" : pieces[random() % (sizeof pieces / sizeof *pieces)];
        }
        if (round % 2 == 1) {
            RunState plain;
            plain.mnemonicTable = table;
            const OpcodeShapes shapes = ShapesOfTable(plain);
            for (int opcode = 0; opcode < 256; ++opcode) {
                if (shapes[opcode].kind == OpcodeShape::ByText) table[opcode].clear();
            }
        }
        std::string image(200 + random() % 3000, '\0');
        // Zero bytes are common in programs, and give operands below $0100.
        for (char& b : image) b = static_cast<char>(random() % 3 == 0 ? 0 : random());
        const bool loadFile = round % 3 == 0;
        if (loadFile) {  // segments at random places, some overlapping (later layers)
            std::string file = "\xFF\xFF";
            for (int segment = 0, count = 2 + random() % 3; segment < count; ++segment) {
                const int first = std::vector<int>{0x2000, 0x2400, 0x3000, 0xFF00}[random() % 4] +
                                  static_cast<int>(random() % 0x80);
                const int length = std::min<int>(1 + random() % 700, 0x10000 - first);
                for (int value : {first, first + length - 1}) {
                    file += static_cast<char>(value & 0xFF);
                    file += static_cast<char>(value >> 8);
                }
                std::string bytes = image.substr(0, static_cast<size_t>(length));
                bytes.resize(static_cast<size_t>(length), '\x60');
                file += bytes;
                image.erase(0, std::min<size_t>(image.size(), 50));
            }
            image = file;
        }
        const int64_t start = std::vector<int64_t>{0, 0x400, 0xF000, 0xFF80, -8}[random() % 5];
        const uint8_t mnemonicsOff = random() % 5 == 0;
        const int64_t skip = random() % 4 == 0 ? random() % 16 : 0;
        const bool extraEntry = random() % 3 == 0;

        TempDir dir;
        std::array<std::unique_ptr<TestRun>, 2> runs;
        for (int fast = 0; fast < 2; ++fast) {
            runs[fast] = std::make_unique<TestRun>();
            RunState& state = **runs[fast];
            if (fast) {  // what a chunk held before it was set up must never show
                std::memset(state.addressInfo.data(), 0x5A, sizeof state.addressInfo);
                ResetAddressTables(state);
            }
            state.mnemonicTable = table;
            state.startAddress = start;
            state.mnemonicsOff = mnemonicsOff;
            state.skipCount = skip;
            if (extraEntry) SetIsEntry(state, (start + 40) & 0xFFFF, 1);
            OpenImage(state, image, "image" + std::to_string(fast) + ".bin");
            if (loadFile) {
                state.skipCount = 0;
                ReadAtariFile(state);
            }
            state.passAgain = 1;
            fast ? RunAnalysis(state) : RunAnalysisByText(state);
        }
        RunState& text = **runs[0];
        RunState& fast = **runs[1];
        ASSERT_EQ(runs[0]->Console(), runs[1]->Console()) << "round " << round;
        ASSERT_TRUE(text.referencedMap == fast.referencedMap) << "round " << round;
        ASSERT_TRUE(text.codeRefMap == fast.codeRefMap) << "round " << round;
        ASSERT_EQ(text.keptLayers.size(), fast.keptLayers.size()) << "round " << round;
        for (size_t k = 0; k < text.keptLayers.size(); ++k) {
            const KeptLayer& a = text.keptLayers[k];
            const KeptLayer& b = fast.keptLayers[k];
            ASSERT_TRUE(a.labels == b.labels && a.addressInfo.size() == b.addressInfo.size() &&
                        std::memcmp(a.addressInfo.data(), b.addressInfo.data(),
                                    a.addressInfo.size() * sizeof(AddressInfo)) == 0)
                << "layer " << k << " round " << round;
        }
        for (int a = 0; a < 65536; ++a) {
            ASSERT_EQ(InfoAt(text, a).isCode, InfoAt(fast, a).isCode) << a << " round " << round;
            ASSERT_EQ(InfoAt(text, a).isEntry, InfoAt(fast, a).isEntry) << a;
        }
    }
}
