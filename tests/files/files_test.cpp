#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <vector>

#include "files/byte_file.h"
#include "files/char_scan.h"
#include "files/file_ops.h"
#include "files/stops.h"
#include "files/text_reader.h"
#include "files/text_writer.h"
#include "test_support.h"

namespace {

std::vector<std::string> LinesOf(const std::string& text) {
    TextReader reader;
    reader.OpenText(text);
    std::vector<std::string> lines;
    while (!reader.AtEnd()) lines.push_back(reader.ReadLine());
    return lines;
}

using Lines = std::vector<std::string>;

}  // namespace

TEST(TextReader, SplitsLinesAtLfAndCrLfAndDropsLoneCr) {
    EXPECT_EQ(LinesOf("a\nb\r\nc"), (Lines{"a", "b", "c"}));
    EXPECT_EQ(LinesOf("a\rb\r\n"), (Lines{"ab"}));
    EXPECT_EQ(LinesOf("\n\n"), (Lines{"", ""}));
    EXPECT_EQ(LinesOf(""), Lines{});
    EXPECT_EQ(LinesOf("a\r"), (Lines{"a"}));
}

TEST(TextReader, CtrlZEndsTheFileAtLineStartAndTheLineElsewhere) {
    EXPECT_EQ(LinesOf("a\n\x1A"
                      "b\nc\n"),
              (Lines{"a"}));
    EXPECT_EQ(LinesOf("ab\x1A"
                      "cd\r\nef\n"),
              (Lines{"ab", "ef"}));
    EXPECT_EQ(LinesOf("\x1A"), Lines{});
}

TEST(TextReader, HasNoLineLengthLimitAndGivesEmptyLinesPastTheEnd) {
    std::string longLine(300000, 'x');
    TempDir dir;
    WriteFile("long.txt", longLine + "\r\nnext");
    TextReader reader;
    reader.Open("long.txt");
    EXPECT_EQ(reader.ReadLine(), longLine);
    EXPECT_EQ(reader.ReadLine(), "next");
    EXPECT_TRUE(reader.AtEnd());
    EXPECT_EQ(reader.ReadLine(), "");
    EXPECT_EQ(reader.ReadLine(), "");
    reader.Close();
}

// Reading every line at once gives, line for line, what reading them one by one gives: on texts
// built from the characters that need care (CR, LF, $1A), also past the size of one read.
TEST(TextReader, ReadingAllLinesGivesWhatReadingLineByLineGives) {
    TempDir dir;
    const std::string pieces[] = {"ab", "\n", "\r\n", "\r", "\x1A", "\r\r\n", "$12", "\n\x1A"};
    uint32_t seed = 7;
    for (int round = 0; round < 300; ++round) {
        std::string text;
        const size_t count = round == 0 ? 40000 : round % 50;
        for (size_t i = 0; i < count; ++i) {
            seed = seed * 1103515245u + 12345u;
            text += pieces[(seed >> 16) % (round == 0 ? 3 : 8)];
        }
        WriteFile("text.txt", text);
        TextReader one;
        one.Open("text.txt");
        std::string expected;
        std::vector<uint32_t> expectedEnds;
        while (!one.AtEnd()) {
            expected += one.ReadLine();
            expectedEnds.push_back(static_cast<uint32_t>(expected.size()));
        }
        TextReader all;
        all.Open("text.txt");
        std::string got = "kept";
        std::vector<uint32_t> ends;
        all.ReadAllLines(got, ends);
        for (uint32_t& end : expectedEnds) end += 4;
        ASSERT_EQ(got, "kept" + expected) << round;
        ASSERT_EQ(ends, expectedEnds) << round;
    }
}

TEST(TextReader, OpeningAMissingFileFailsTheRun) {
    TempDir dir;
    TextReader reader;
    try {
        reader.Open("missing");
        FAIL();
    } catch (const IoFailure& failure) {
        EXPECT_EQ(failure.code, ENOENT);
        EXPECT_EQ(failure.file, "missing");
    }
}

TEST(ByteFile, ReadsSeeksBackAndKnowsItsSize) {
    TempDir dir;
    std::string bytes(200000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
    WriteFile("image", bytes);
    ByteFile file;
    file.Open("image");
    EXPECT_EQ(file.Size(), 200000);
    file.Seek(5);
    EXPECT_EQ(file.ReadByte(), static_cast<uint8_t>(35));
    EXPECT_EQ(file.ReadByte(), static_cast<uint8_t>(42));
    file.Seek(5);
    EXPECT_EQ(file.ReadByte(), static_cast<uint8_t>(35));
    file.Seek(150000);  // outside the first buffer
    EXPECT_EQ(file.ReadByte(), static_cast<uint8_t>(150000 * 7));
    file.Seek(3);
    EXPECT_EQ(file.ReadByte(), static_cast<uint8_t>(21));
    file.Seek(199999);
    file.ReadByte();
    EXPECT_TRUE(file.AtEnd());
    EXPECT_THROW(file.ReadByte(), IoFailure);
    file.Seek(500000);  // past the end is allowed, and is the end
    EXPECT_TRUE(file.AtEnd());
    file.Close();
}

TEST(TextWriter, EndsEveryLineWithCrLf) {
    TempDir dir;
    TextWriter writer;
    writer.Create("out");
    writer.WriteLine("a");
    writer.Write("b");
    writer.WriteLine("");
    writer.Close();
    EXPECT_EQ(ReadFile("out"), "a\r\nb\r\n");
}

TEST(Files, PipesAreRefusedInsteadOfWaitedOn) {
    TempDir dir;
    mkfifo("pipe", 0644);
    TextWriter writer;
    TextReader reader;
    ByteFile bytes;
    for (auto open : std::initializer_list<std::function<void()>>{[&] { writer.Create("pipe"); },
                                                                  [&] { reader.Open("pipe"); },
                                                                  [&] { bytes.Open("pipe"); }}) {
        try {
            open();
            ADD_FAILURE() << "a pipe was opened";
        } catch (const IoFailure& failure) {
            EXPECT_EQ(failure.code, ENXIO);
            EXPECT_EQ(failure.file, "pipe");
        }
    }
}

TEST(TextWriter, KeepsEveryLineOfALargeFile) {
    TempDir dir;
    TextWriter writer;
    writer.Create("big");
    std::string expected;
    for (int i = 0; i < 50000; ++i) {
        std::string line = "line " + std::to_string(i);
        writer.WriteLine(line);
        expected += line + "\r\n";
    }
    writer.Close();
    EXPECT_EQ(ReadFile("big"), expected);
    TextReader reader;
    reader.Open("big");
    for (int i = 0; i < 50000; ++i) ASSERT_EQ(reader.ReadLine(), "line " + std::to_string(i));
    EXPECT_TRUE(reader.AtEnd());
}

TEST(EraseFile, RemovesAFileAndFailsOnAMissingOne) {
    TempDir dir;
    WriteFile("temp", "x");
    EraseFile("temp");
    EXPECT_FALSE(PathExists("temp"));
    EXPECT_THROW(EraseFile("temp"), IoFailure);
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

// The two ways of gathering a chunk's matches agree, and so does counting them: every byte
// value in every lane, and random mixes of matches.
TEST(MatchBits, GathersTheSameBitsEitherWay) {
    uint32_t seed = 11;
    for (int round = 0; round < 4096; ++round) {
        char bytes[sizeof(CharChunk)];
        for (size_t k = 0; k < sizeof bytes; ++k) {
            seed = seed * 1103515245u + 12345u;
            bytes[k] = round < 256             ? static_cast<char>(round + static_cast<int>(k))
                       : (seed >> 16) % 3 == 0 ? 'A'
                                               : static_cast<char>(seed >> 20);
        }
        const CharChunk matches = LoadChunk(bytes) == 'A';
        uint32_t expected = 0;
        for (size_t k = 0; k < sizeof bytes; ++k) {
            if (bytes[k] == 'A') expected |= uint32_t{1} << k;
        }
        ASSERT_EQ(MatchBits(matches), expected) << round;
        ASSERT_EQ(MatchBitsByMultiplying(matches), expected) << round;
        ASSERT_EQ(BitCount(expected), __builtin_popcount(expected)) << round;
    }
}

// Tabs become blanks at every length and position, whole chunks and the bytes after them alike,
// and nothing past the copy is written.
TEST(CopyTabsAsBlanks, TurnsEveryTabIntoABlankAndWritesNothingMore) {
    uint32_t seed = 5;
    for (size_t length = 0; length <= 3 * sizeof(CharChunk) + 1; ++length) {
        for (int round = 0; round < 64; ++round) {
            std::string from(length, ' '), expected(length + 1, '#');
            for (size_t k = 0; k < length; ++k) {
                seed = seed * 1103515245u + 12345u;
                from[k] = (seed >> 16) % 4 == 0 ? '\t' : static_cast<char>(seed >> 20);
                expected[k] = from[k] == '\t' ? ' ' : from[k];
            }
            std::string to(length + 1, '#');
            ASSERT_EQ(CopyTabsAsBlanks(to.data(), from.data(), length), to.data() + length);
            ASSERT_EQ(to, expected) << length << " " << round;
        }
    }
}
