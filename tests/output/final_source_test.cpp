#include "output/final_source.h"

#include <gtest/gtest.h>

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
