#include "reference/mnemonic_file.h"

#include <gtest/gtest.h>

#include <map>

#include "files/text_reader.h"
#include "reference/line_tokenizer.h"
#include "test_support.h"

namespace {

void Load(RunState& state, const std::string& text) {
    TextReader reader;
    reader.OpenText(text);
    LoadMnemonicsFrom(state, reader);
}

}  // namespace

TEST(CutToken, CutsAtTheDelimiterAndTurnsTabsIntoBlanks) {
    TestRun run;
    run->workLine = "a\tb,c\td";
    EXPECT_EQ(CutToken(*run, ','), "a b");
    EXPECT_EQ(run->workLine, "c d");
    EXPECT_EQ(CutToken(*run, ','), "");
    EXPECT_EQ(run->workLine, "c d");
}

TEST(LoadMnemonics, ReadsDefinitionsAndSkipsCommentedLines) {
    TestRun run;
    Load(*run,
         "; a comment $A9,'x'\n"
         "$A9,'lda #N'\n"
         "$EA,'nop' ; trailing comment makes the line no definition\n"
         "  $AD , 'lda\tQ'  rest\r\n"
         "no dollar,'x'\n"
         "$1A5,'lda Z'\n");
    EXPECT_EQ(run->mnemonicTable[0xA9], "lda #N");
    EXPECT_EQ(run->mnemonicTable[0xEA], "");
    EXPECT_EQ(run->mnemonicTable[0xAD], "lda Q");
    EXPECT_EQ(run->mnemonicTable[0xA5], "lda Z");  // low 8 bits of $1A5
}

TEST(LoadMnemonics, FollowsTheQuirksOfTheFormat) {
    TestRun run;
    Load(*run, "$A9,'first'\n$A9,'second'\n");
    EXPECT_EQ(run->mnemonicTable[0xA9], "second");

    TestRun noComma;
    Load(*noComma, "$A9 'lda #N'\n");
    EXPECT_EQ(noComma->mnemonicTable[0x00], "lda #N");
    EXPECT_EQ(noComma->mnemonicTable[0xA9], "");

    TestRun noQuotes;
    Load(*noQuotes, "$A9,'lda #N'\n$A9,lda #N\n");
    EXPECT_EQ(noQuotes->mnemonicTable[0xA9], "");

    TestRun decimal;
    Load(*decimal, "169,'lda #N'\n234,'nop $'\n");  // decimal needs a "$" somewhere on the line
    EXPECT_EQ(decimal->mnemonicTable[169], "");
    EXPECT_EQ(decimal->mnemonicTable[234], "nop $");

    TestRun empty;
    Load(*empty, "");
    for (const std::string& pattern : empty->mnemonicTable) EXPECT_EQ(pattern, "");
}

TEST(LoadMnemonics, KeepsTheDirectiveLinesInOrder) {
    TestRun run;
    Load(*run,
         "directive,'opt c+'\n"
         "  Directive , 'org\t$2000'\n"  // no definition of $00, although it holds a "$"
         "directive,'opt l+' ; a comment line\n"
         "directive,''\n"
         "directives,'x$'\n"  // another word: a definition of $00
         "$EA,'nop'\n");
    EXPECT_EQ(run->tableDirectives, (std::vector<std::string>{"opt c+", "org $2000"}));
    EXPECT_EQ(run->mnemonicTable[0x00], "x$");
    EXPECT_EQ(run->mnemonicTable[0xEA], "nop");
}

// The shipped table against an independent list of the documented NMOS 6502 instruction set:
// for each mnemonic its opcodes by addressing mode.
TEST(ShippedMnemonicFile, DefinesEveryDocumentedOpcodeWithItsLengthAndMode) {
    enum Mode { Imp, Imm, Zp, Zpx, Zpy, Abs, Abx, Aby, Inx, Iny, Ind, Rel };
    struct Row {
        const char* mnemonic;
        std::map<Mode, int> opcodes;
    };
    const Row rows[] = {
        {"adc",
         {{Imm, 0x69},
          {Zp, 0x65},
          {Zpx, 0x75},
          {Abs, 0x6D},
          {Abx, 0x7D},
          {Aby, 0x79},
          {Inx, 0x61},
          {Iny, 0x71}}},
        {"and",
         {{Imm, 0x29},
          {Zp, 0x25},
          {Zpx, 0x35},
          {Abs, 0x2D},
          {Abx, 0x3D},
          {Aby, 0x39},
          {Inx, 0x21},
          {Iny, 0x31}}},
        {"asl", {{Imp, 0x0A}, {Zp, 0x06}, {Zpx, 0x16}, {Abs, 0x0E}, {Abx, 0x1E}}},
        {"bcc", {{Rel, 0x90}}},
        {"bcs", {{Rel, 0xB0}}},
        {"beq", {{Rel, 0xF0}}},
        {"bmi", {{Rel, 0x30}}},
        {"bne", {{Rel, 0xD0}}},
        {"bpl", {{Rel, 0x10}}},
        {"bvc", {{Rel, 0x50}}},
        {"bvs", {{Rel, 0x70}}},
        {"bit", {{Zp, 0x24}, {Abs, 0x2C}}},
        {"brk", {{Imp, 0x00}}},
        {"clc", {{Imp, 0x18}}},
        {"cld", {{Imp, 0xD8}}},
        {"cli", {{Imp, 0x58}}},
        {"clv", {{Imp, 0xB8}}},
        {"cmp",
         {{Imm, 0xC9},
          {Zp, 0xC5},
          {Zpx, 0xD5},
          {Abs, 0xCD},
          {Abx, 0xDD},
          {Aby, 0xD9},
          {Inx, 0xC1},
          {Iny, 0xD1}}},
        {"cpx", {{Imm, 0xE0}, {Zp, 0xE4}, {Abs, 0xEC}}},
        {"cpy", {{Imm, 0xC0}, {Zp, 0xC4}, {Abs, 0xCC}}},
        {"dec", {{Zp, 0xC6}, {Zpx, 0xD6}, {Abs, 0xCE}, {Abx, 0xDE}}},
        {"dex", {{Imp, 0xCA}}},
        {"dey", {{Imp, 0x88}}},
        {"eor",
         {{Imm, 0x49},
          {Zp, 0x45},
          {Zpx, 0x55},
          {Abs, 0x4D},
          {Abx, 0x5D},
          {Aby, 0x59},
          {Inx, 0x41},
          {Iny, 0x51}}},
        {"inc", {{Zp, 0xE6}, {Zpx, 0xF6}, {Abs, 0xEE}, {Abx, 0xFE}}},
        {"inx", {{Imp, 0xE8}}},
        {"iny", {{Imp, 0xC8}}},
        {"jmp", {{Abs, 0x4C}, {Ind, 0x6C}}},
        {"jsr", {{Abs, 0x20}}},
        {"lda",
         {{Imm, 0xA9},
          {Zp, 0xA5},
          {Zpx, 0xB5},
          {Abs, 0xAD},
          {Abx, 0xBD},
          {Aby, 0xB9},
          {Inx, 0xA1},
          {Iny, 0xB1}}},
        {"ldx", {{Imm, 0xA2}, {Zp, 0xA6}, {Zpy, 0xB6}, {Abs, 0xAE}, {Aby, 0xBE}}},
        {"ldy", {{Imm, 0xA0}, {Zp, 0xA4}, {Zpx, 0xB4}, {Abs, 0xAC}, {Abx, 0xBC}}},
        {"lsr", {{Imp, 0x4A}, {Zp, 0x46}, {Zpx, 0x56}, {Abs, 0x4E}, {Abx, 0x5E}}},
        {"nop", {{Imp, 0xEA}}},
        {"ora",
         {{Imm, 0x09},
          {Zp, 0x05},
          {Zpx, 0x15},
          {Abs, 0x0D},
          {Abx, 0x1D},
          {Aby, 0x19},
          {Inx, 0x01},
          {Iny, 0x11}}},
        {"pha", {{Imp, 0x48}}},
        {"php", {{Imp, 0x08}}},
        {"pla", {{Imp, 0x68}}},
        {"plp", {{Imp, 0x28}}},
        {"rol", {{Imp, 0x2A}, {Zp, 0x26}, {Zpx, 0x36}, {Abs, 0x2E}, {Abx, 0x3E}}},
        {"ror", {{Imp, 0x6A}, {Zp, 0x66}, {Zpx, 0x76}, {Abs, 0x6E}, {Abx, 0x7E}}},
        {"rti", {{Imp, 0x40}}},
        {"rts", {{Imp, 0x60}}},
        {"sbc",
         {{Imm, 0xE9},
          {Zp, 0xE5},
          {Zpx, 0xF5},
          {Abs, 0xED},
          {Abx, 0xFD},
          {Aby, 0xF9},
          {Inx, 0xE1},
          {Iny, 0xF1}}},
        {"sec", {{Imp, 0x38}}},
        {"sed", {{Imp, 0xF8}}},
        {"sei", {{Imp, 0x78}}},
        {"sta",
         {{Zp, 0x85},
          {Zpx, 0x95},
          {Abs, 0x8D},
          {Abx, 0x9D},
          {Aby, 0x99},
          {Inx, 0x81},
          {Iny, 0x91}}},
        {"stx", {{Zp, 0x86}, {Zpy, 0x96}, {Abs, 0x8E}}},
        {"sty", {{Zp, 0x84}, {Zpx, 0x94}, {Abs, 0x8C}}},
        {"tax", {{Imp, 0xAA}}},
        {"tay", {{Imp, 0xA8}}},
        {"tsx", {{Imp, 0xBA}}},
        {"txa", {{Imp, 0x8A}}},
        {"txs", {{Imp, 0x9A}}},
        {"tya", {{Imp, 0x98}}},
    };
    const std::map<Mode, std::string> operand = {
        {Imp, ""},     {Imm, " #N"},  {Zp, " Z"},      {Zpx, " Z,x"},   {Zpy, " Z,y"}, {Abs, " Q"},
        {Abx, " Q,x"}, {Aby, " Q,y"}, {Inx, " (N,x)"}, {Iny, " (N),y"}, {Ind, " (Q)"}, {Rel, " L"}};

    TestRun run;
    TextReader reader;
    reader.Open(std::string(VELKOR_DATA_DIR) + "/mnemo.qvt");
    LoadMnemonicsFrom(*run, reader);

    int defined = 0;
    std::map<int, std::string> expected;
    for (const Row& row : rows) {
        for (const auto& [mode, opcode] : row.opcodes)
            expected[opcode] = row.mnemonic + operand.at(mode);
    }
    for (int opcode = 0; opcode < 256; ++opcode) {
        const std::string& pattern = run->mnemonicTable[opcode];
        if (!pattern.empty()) ++defined;
        auto it = expected.find(opcode);
        EXPECT_EQ(pattern, it == expected.end() ? "" : it->second) << "opcode " << opcode;
    }
    EXPECT_EQ(defined, 151);
    EXPECT_EQ(expected.size(), 151u);
}
