// The replayed passes against passes that decode the whole image every time, on images built to
// need many passes: the whole analysis result must be the same, bit for bit.
#include "engine/pass_replay.h"

#include <gtest/gtest.h>

#include <random>

#include "core/address_table.h"
#include "engine/analysis.h"
#include "files/text_reader.h"
#include "reference/mnemonic_file.h"
#include "test_support.h"

namespace {

std::array<std::string, 256> ShippedTable() {
    TestRun run;
    TextReader reader;
    reader.Open(std::string(VELKOR_DATA_DIR) + "/mnemo.qvt");
    LoadMnemonicsFrom(*run, reader);
    return run->mnemonicTable;
}

// Opcodes of the shipped table by kind, for building images.
struct Opcodes {
    std::vector<uint8_t> undefined, branches, other;
};

Opcodes Classify(const std::array<std::string, 256>& table) {
    Opcodes o;
    for (int op = 0; op < 256; ++op) {
        const std::string& p = table[op];
        if (p.empty()) {
            o.undefined.push_back(static_cast<uint8_t>(op));
        } else if (p.find('L') != std::string::npos) {
            o.branches.push_back(static_cast<uint8_t>(op));
        } else {
            o.other.push_back(static_cast<uint8_t>(op));
        }
    }
    return o;
}

// An image of pieces: runs of random bytes, of undefined opcodes and of instructions, and chains
// in which every link ends in a branch back into the link before, so that each pass uncovers one
// more link; the image starts with a jump to the end of the last chain.
std::string PiecedImage(std::mt19937& random, const Opcodes& ops, int64_t start, size_t size) {
    std::string image = "\x4C\x00\x00";
    int64_t lastLinkEnd = -1;
    std::vector<int64_t> linkEnds;
    auto pick = [&](const std::vector<uint8_t>& from) { return from[random() % from.size()]; };
    while (image.size() < size) {
        switch (random() % 6) {
            case 0:  // random bytes
                for (int n = random() % 40; n > 0; --n) image += static_cast<char>(random());
                break;
            case 1:  // undefined opcodes
                for (int n = 1 + random() % 6; n > 0; --n)
                    image += static_cast<char>(pick(ops.undefined));
                break;
            case 2:  // instructions
                for (int n = random() % 12; n > 0; --n) {
                    image += static_cast<char>(pick(ops.other));
                    image += static_cast<char>(random());
                    if (random() % 2) image += static_cast<char>(random());
                }
                break;
            case 3:  // a jump or call somewhere into the image
            {
                const int64_t target = start + (!linkEnds.empty() && random() % 2
                                                    ? linkEnds[random() % linkEnds.size()]
                                                    : random() % size);
                image += static_cast<char>(random() % 2 ? 0x4C : 0x20);
                image += static_cast<char>(target & 0xFF);
                image += static_cast<char>((target >> 8) & 0xFF);
                break;
            }
            default: {  // a chain of links
                int64_t previousBranch = -1;
                const bool clean = random() % 2;  // links of an undefined opcode and a branch
                for (int links = 2 + random() % 150; links > 0 && image.size() < size; --links) {
                    if (clean || random() % 3) image += static_cast<char>(pick(ops.undefined));
                    for (int n = clean ? 0 : random() % 4; n > 0; --n) {
                        image += static_cast<char>(random());
                    }
                    const int64_t here = static_cast<int64_t>(image.size());
                    int64_t offset = previousBranch < 0 ? -static_cast<int64_t>(random() % 20)
                                                        : previousBranch - (here + 2);
                    if (!clean && random() % 8 == 0) offset += static_cast<int>(random() % 5) - 2;
                    if (offset < -128) offset = -128;
                    image += static_cast<char>(pick(ops.branches));
                    image += static_cast<char>(offset & 0xFF);
                    previousBranch = here;
                }
                lastLinkEnd = previousBranch;
                if (previousBranch >= 0) linkEnds.push_back(previousBranch);
                break;
            }
        }
    }
    const int64_t target = start + (lastLinkEnd >= 0 ? lastLinkEnd : random() % image.size());
    image[1] = static_cast<char>(target & 0xFF);
    image[2] = static_cast<char>((target >> 8) & 0xFF);
    return image;
}

// What the analysis leaves behind.
void ExpectSameResult(TestRun& full, TestRun& replayed, int round) {
    ASSERT_EQ(full.Console(), replayed.Console()) << "round " << round;
    ASSERT_TRUE(full->referencedMap == replayed->referencedMap) << "round " << round;
    ASSERT_TRUE(full->codeRefMap == replayed->codeRefMap) << "round " << round;
    for (int a = 0; a < 65536; ++a) {
        ASSERT_EQ(InfoAt(*full, a).isCode, InfoAt(*replayed, a).isCode) << a << " round " << round;
        ASSERT_EQ(InfoAt(*full, a).isEntry, InfoAt(*replayed, a).isEntry)
            << a << " round " << round;
    }
}

struct Scenario {
    std::array<std::string, 256> table;
    std::string image;
    int64_t start = 0;
    int64_t skip = 0;
    uint8_t mnemonicsOff = 0;
    std::vector<std::pair<int64_t, bool>> blockOptions;  // address, as code (-bc) or data (-bd)
};

// Runs the analysis from the same starting state with whole passes, as RunAnalysis does (whole
// passes first, then replayed ones), and replayed from the first pass; compares, and returns the
// number of passes. An image that runs past $FFFF is not replayed from the first pass.
size_t Compare(const Scenario& setup, int round) {
    TempDir dir;
    std::array<TestRun, 3> runs;
    const bool pastTop =
        setup.start + static_cast<int64_t>(setup.image.size()) - setup.skip > 0x10000;
    for (int way = 0; way < (pastTop ? 2 : 3); ++way) {
        RunState& state = *runs[way];
        state.mnemonicTable = setup.table;
        state.startAddress = setup.start;
        state.skipCount = setup.skip;
        state.mnemonicsOff = setup.mnemonicsOff;
        for (auto [address, asCode] : setup.blockOptions) {
            SetIsCode(state, address, asCode ? 1 : 0);
            SetIsEntry(state, address, 1);
            SetBit(state.referencedMap, address);
            SetBit(state.codeRefMap, address);
        }
        OpenImage(state, setup.image, "image" + std::to_string(way) + ".bin");
        EXPECT_TRUE(pastTop || CanReplayPasses(state));
        state.passAgain = 1;
        if (way == 0) RunAnalysisByText(state);
        if (way == 1) RunAnalysis(state);
        if (way == 2) RunReplayedPasses(state, ShapesOfTable(state));
    }
    EXPECT_FALSE(runs[1]->sourceFile.IsOpen()) << "round " << round;
    ExpectSameResult(runs[0], runs[1], round);
    if (!pastTop) ExpectSameResult(runs[0], runs[2], round);
    return runs[0].Console().size();
}

Scenario RandomSetup(std::mt19937& random, const std::array<std::string, 256>& table,
                     const Opcodes& ops) {
    Scenario setup;
    setup.table = table;
    setup.start = std::vector<int64_t>{0, 0x400, 0x2000, 0xF000, 0xFE00}[random() % 5];
    const size_t room = static_cast<size_t>(0x10000 - setup.start);
    setup.image =
        PiecedImage(random, ops, setup.start, std::min<size_t>(room, 300 + random() % 3000));
    if (random() % 4 == 0) {
        setup.skip = random() % 8;
        setup.image = std::string(static_cast<size_t>(setup.skip), '\x02') + setup.image;
    }
    if (setup.image.size() - setup.skip > room) setup.image.resize(room + setup.skip);
    // Bytes past $FFFF: the passes take them alike every time (past_top.h); a first one that
    // changes nothing when accepted keeps the replay.
    if (setup.start >= 0xF000 && random() % 3 == 0) {
        setup.image.resize(room + setup.skip, '\xEA');
        for (int n = 1 + random() % 600; n > 0; --n) setup.image += static_cast<char>(random());
        if (random() % 2) setup.image[room + setup.skip] = "\xEA\x02\xA9\x60"[random() % 4];
    }
    setup.mnemonicsOff = random() % 10 == 0;
    if (random() % 3 == 0) {
        for (int n = 1 + random() % 4; n > 0; --n) {
            const int64_t address = setup.start + random() % (setup.image.size() - setup.skip);
            setup.blockOptions.push_back({address, random() % 2 == 0});
        }
    }
    return setup;
}

}  // namespace

TEST(ReplayedPasses, MatchFullPassesWithTheShippedInstructionSet) {
    const std::array<std::string, 256> table = ShippedTable();
    const Opcodes ops = Classify(table);
    std::mt19937 random(11);
    size_t mostPasses = 0;
    for (int round = 0; round < 80; ++round) {
        mostPasses = std::max(mostPasses, Compare(RandomSetup(random, table, ops), round));
        if (HasFatalFailure()) return;
    }
    EXPECT_GT(mostPasses, 100u);  // the chains did make the analysis pass again and again
}

// Tables mixing usual patterns with odd ones (names that only look like jumps, numbers inside
// the pattern), so that decoding goes through the text as well.
TEST(ReplayedPasses, MatchFullPassesWithOddInstructionSets) {
    const char* pieces[] = {"lda #N",    "lda Q",         "sta Z,y", "jmp Q",  "jsr Q",
                            "jmp (Q)",   "bne L",         "BEQ L",   "nop",    "rts  ",
                            "jmp $1234", "bpl $0410 ; x", "bne L,Z", "lda $Q", "x $12 Q",
                            "jmp Q$",    "dta N",         "lda.w Q", "bcs  L", "L"};
    std::mt19937 random(5);
    for (int round = 0; round < 60; ++round) {
        std::array<std::string, 256> table;
        for (std::string& pattern : table) {
            pattern = random() % 4 == 0 ? "" : pieces[random() % (sizeof pieces / sizeof *pieces)];
        }
        table[0x4C] = "jmp Q";
        table[0x20] = "jsr Q";
        Opcodes ops = Classify(table);
        if (ops.undefined.empty() || ops.branches.empty() || ops.other.empty()) continue;
        Compare(RandomSetup(random, table, ops), round);
        if (HasFatalFailure()) return;
    }
}

// Small images dense with jumps and branches in both directions, so that passes often end at a
// rejection near the end of the image and instructions there change between passes.
TEST(ReplayedPasses, MatchFullPassesOnSmallBranchyImages) {
    const std::array<std::string, 256> table = ShippedTable();
    const Opcodes ops = Classify(table);
    std::mt19937 random(23);
    for (int round = 0; round < 600; ++round) {
        Scenario setup;
        setup.table = table;
        setup.start = std::vector<int64_t>{0, 0x80, 0x1000, 0xFFC0}[random() % 4];
        const int size = 8 + random() % 56;
        for (int i = 0; i < size; ++i) {
            const unsigned kind = random() % 8;
            if (kind < 3) {
                setup.image += static_cast<char>(ops.branches[random() % ops.branches.size()]);
                setup.image += static_cast<char>(-(random() % 24) + 4);
            } else if (kind == 3) {
                setup.image += static_cast<char>(ops.undefined[random() % ops.undefined.size()]);
            } else if (kind == 4) {
                const int64_t target = setup.start + random() % size;
                setup.image += static_cast<char>(random() % 2 ? 0x4C : 0x20);
                setup.image += static_cast<char>(target & 0xFF);
                setup.image += static_cast<char>(target >> 8);
            } else if (kind == 5) {
                // a zero-page operand that some other instruction may name as code
                setup.image += static_cast<char>(random() % 2 ? 0xA5 : 0xA9);
                setup.image += static_cast<char>(random() % 8);
            } else {
                setup.image += static_cast<char>(random());
            }
        }
        if (setup.image.size() > static_cast<size_t>(0x10000 - setup.start)) {
            setup.image.resize(static_cast<size_t>(0x10000 - setup.start));
        }
        if (random() % 4 == 0) {
            setup.blockOptions.push_back({setup.start + random() % size, random() % 2 == 0});
        }
        Compare(setup, round);
        if (HasFatalFailure()) return;
    }
}

namespace {

std::string Image(std::initializer_list<int> bytes) {
    return Bytes(bytes);
}

}  // namespace

// Two paths that random images rarely take.
TEST(ReplayedPasses, MatchFullPassesInRareCases) {
    // A pass that ends early, at a rejection near the end, leaves out the instructions that the
    // pass before took after it: $0411 is no instruction in the second pass, so the lda at $0407
    // is the last to write the bit of $0411.
    Scenario early;
    early.table = ShippedTable();
    early.start = 0x400;
    early.image = Image({0x4C, 0x0B, 0x04,  // jmp $040B
                         0x02,              // undefined
                         0x4C, 0x10, 0x04,  // jmp $0410 (code in the second pass)
                         0xAD, 0x11, 0x04,  // lda $0411 (likewise)
                         0x02,              // undefined
                         0xD0, 0xF7,        // bne $0404: back into data
                         0xEA,              // nop
                         0xAD, 0x44, 0x00,  // lda $0044: in the second pass $0410 is an entry point
                         0xA9});            // cut by the end of the image
    early.blockOptions.push_back({0x0412, true});
    EXPECT_EQ(Compare(early, 0), 2u);

    // A rejected instruction stops clearing the bit of its operand number once an accepted one
    // has named it, also when that happened later in the pass before.
    Scenario named;
    named.table[0x4C] = "jmp Q";
    named.table[0xA9] = "lda #N";
    named.table[0x42] = "x $12 Q";  // operand number $12, records its address operand
    named.table[0xEA] = "nop";
    named.table[0xD0] = "bne L";
    named.start = 0x400;
    named.image = Image({0x4C, 0x0A, 0x04,  // jmp $040A
                         0x02,              // undefined
                         0xA9, 0x12,        // lda #$12: records $0012
                         0x42, 0x34, 0x12,  // rejected: clears $0012 in the first pass only
                         0xEA,              // nop
                         0x42, 0x00, 0x05,  // accepted: names $0012
                         0xD0, 0xFA});      // bne $0409: back into data
    EXPECT_EQ(Compare(named, 1), 2u);

    // An instruction at $FFFF that runs past it is accepted in every other pass only (the bytes
    // past $FFFF are data, its own mark flips), so the walk leaves $FFFF at $10002 and reaches
    // the steps that every pass takes alike, or at $10000 and ends the pass before them. The
    // bne at $10003 clears the bit of $0000, which the lda #$00 below $FFFF sets in every pass.
    Scenario flipping;
    flipping.table = ShippedTable();
    flipping.start = 0xFF00;
    const int links = 80;  // undefined byte and a bne back: each pass uncovers one more
    flipping.image = Image({0x4C, (0xFF03 + 3 * links - 2) & 0xFF, 0xFF});  // jmp to the last bne
    for (int i = 0; i < links; ++i) flipping.image += Image({0x02, 0xD0, 0xFB});
    flipping.image += std::string(static_cast<size_t>(0xFFFB - 0xFF03 - 3 * links), '\xEA');
    flipping.image += Image({0xA9, 0x00,        // $FFFB lda #$00
                             0xEA, 0xEA,        // $FFFD
                             0xAD, 0xE8, 0xAD,  // $FFFF lda $ADE8 ($10000 inx, $10001 lda)
                             0x02,              // $10002
                             0xD0, 0xFB,        // $10003 bne $0000 (past $FFFF)
                             0xEA});            // $10005: the lda at $10001 ends the pass
    EXPECT_GT(Compare(flipping, 2), 40u);
}

// A trace takes the address table as it stands whether or not its chunks have been set up: a
// table used here and there (chunk edges, the top chunk or not) packs to the same bits as the
// same table set up in full.
TEST(PassTrace, TakesATableSetUpInPartsAsTheWholeOne) {
    const std::vector<std::vector<int64_t>> uses = {
        {0x0000, 0x03FE, 0x0400, 0x2001, 0x7FFF, 0xFBFE},  // $FC00-$FFFF never used
        {0x03FF, 0xFBFF, 0xFC00, 0xFFFE}};
    for (const std::vector<int64_t>& used : uses) {
        TestRun lazy, full;
        PrepareAddresses(*full, 0, kAddressCount);
        for (RunState* state : {&*lazy, &*full}) {
            for (int64_t a : used) {
                SetIsCode(*state, a, 0);
                SetIsEntry(*state, a + 1, 1);
            }
        }
        PassTrace fromLazy, fromFull;
        StartPassTrace(*lazy, fromLazy);
        StartPassTrace(*full, fromFull);
        EXPECT_LT(__builtin_popcountll(lazy->preparedChunks), 10);
        EXPECT_EQ(fromLazy.codeBefore, fromFull.codeBefore);
        EXPECT_EQ(fromLazy.entryBefore, fromFull.entryBefore);
    }
}
