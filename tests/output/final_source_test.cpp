#include "output/final_source.h"

#include <gtest/gtest.h>

#include <array>
#include <random>

#include "engine/instruction_format.h"
#include "output/listing_writer.h"
#include "reference/label_file.h"
#include "test_support.h"

namespace {

std::string Equates(const std::string& labels) {
    TestRun run;
    WriteFile("memory.qvt", labels);
    run->useLabelFile = 1;
    LoadLabelNames(*run);  // as the run does, before the equates
    run->asmFile.Create("out");
    WriteEquates(*run);
    run->asmFile.Close();
    return ReadFile("out");
}

}  // namespace

TEST(WriteEquates, PadsNamesToTheLongestQualifyingOne) {
    TempDir dir;
    EXPECT_EQ(Equates("portb $D301\nscales $0230 ; scale table\n"),
              "portb = $D301\r\nscales= $0230 ; scale table\r\n\r\n");
    EXPECT_EQ(Equates("portb $d301\n"), "portb= $d301\r\n\r\n");
    EXPECT_EQ(Equates(""), "\r\n");
    EXPECT_EQ(Equates("; only $1234 a comment\n"), "\r\n");
}

TEST(WriteEquates, LeavesOutEntriesWithAPlus) {
    TempDir dir;
    // "+" before the comment: no equate and no width; in the comment: no equate, but width.
    EXPECT_EQ(Equates("a $0001\nlongername+1 $0002\nmiddle $0003 ; x+y\n"),
              "a     = $0001\r\n\r\n");
}

TEST(WriteEquates, TakesLinesWhoseOnlyDollarIsInAComment) {
    TempDir dir;
    // Not measured, but written: the name part is everything before the "$".
    EXPECT_EQ(Equates("ab $0001\nx ;$12\n"), "ab= $0001\r\nx = $12;\r\n\r\n");
    EXPECT_EQ(Equates("  lead $0001\nab\t$0002\t; tab\n"),
              "  lead= $0001\r\nab    = $0002 ; tab\r\n\r\n");
}

// The final phase reads the listing from the copy kept in memory, or back from its file when the
// copy grew too large. Both ways must give the same result: listings made of lines that hold
// flow words (in mnemonics, labels, strings and comments, across 8-byte boundaries), generated
// labels that are inner-label keys (at the line start, in operands, twice), and near misses.
TEST(WriteFinalSource, GivesTheSameResultFromTheKeptCopyAsFromTheListingFile) {
    const char* pieces[] = {"\tjmp E_1003",
                            "\trts",
                            "E_1000\tjsr E_1004",
                            "\tlda E_1001",
                            "\tdta c'jsr'",
                            "\tlda #$E0",
                            "E_1004\tnop",
                            "\tbne E_1001",
                            ";jm",
                            "p",
                            "\tsta E_10",
                            "E1_1001\tnop",
                            "\tdta $EE,$EE",
                            "\tlda E_1003+1",
                            "\tjmpx",
                            "\trt s",
                            "E_1003",
                            "r",
                            "",
                            "\tldx E_1004"};
    std::mt19937 random(11);
    for (int round = 0; round < 40; ++round) {
        std::string listing;
        for (int line = 0, count = 1 + random() % 300; line < count; ++line) {
            for (int part = 0, parts = 1 + random() % 3; part < parts; ++part) {
                listing += pieces[random() % (sizeof pieces / sizeof *pieces)];
            }
            listing += "\r\n";
        }
        std::array<std::string, 2> results;
        for (int kept = 0; kept < 2; ++kept) {
            TempDir dir;
            TestRun run;
            run->sourceName = "image";
            run->resultName = "image.asm";
            run->innerLabels = {{"E_1001", "E_1000+1"}, {"E_1004", "E_1003+1"}};
            if (round % 2 == 0) run->innerLabels.clear();
            WriteFile(std::string("image") + kListingExtension, listing);
            WriteFile(kInnerLabelFileName, "");
            run->listingKept = kept == 1;
            if (kept == 1) run->listingText = listing;
            WriteFinalSource(*run);
            results[kept] = ReadFile("image.asm");
        }
        ASSERT_EQ(results[0], results[1]) << "round " << round;
    }
}
