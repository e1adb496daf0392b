// Whole runs on hostile input: garbage reference files, random images and options at the edges
// of the address space. Every run must end in an orderly way, and leave only its result behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "driver/run_sequence.h"
#include "files/stops.h"
#include "test_support.h"

namespace {

std::string RandomBytes(std::mt19937& random, size_t size, const std::string& alphabet = "") {
    std::string bytes(size, '\0');
    for (char& b : bytes) {
        b = alphabet.empty() ? static_cast<char>(random()) : alphabet[random() % alphabet.size()];
    }
    return bytes;
}

std::string RandomOption(std::mt19937& random) {
    const char* values[] = {"0",          "$FFFF", "$FFF0",     "-1",    "$10000", "$7FFFFFFF",
                            "2147483649", "$0400", "$FFFFFFFF", "-$400", "$D301",  "1"};
    const char* kinds[] = {"-a",  "-s",  "-bc", "-bd", "-bac", "-bad",
                           "-sa", "-sd", "-m",  "-l",  "-d"};
    return std::string(kinds[random() % 11]) + values[random() % 12];
}

// Runs the program; returns true when it ended with "Done.".
bool RunToEnd(const std::vector<std::string>& arguments) {
    TestRun run;
    try {
        RunVelkor(*run, arguments);
    } catch (const UsageStop&) {
        return false;
    } catch (const ErrorStop&) {
        return false;
    }
    return run.Console().find("Done.\r\n") != std::string::npos;
}

}  // namespace

TEST(BadInput, GarbageReferenceFilesAndRandomImagesEndInOrder) {
    std::mt19937 random(2026);
    const std::string textish = "$',;NQZL #()xy0123456789ABCDEFabcdef+\t\r\n\x1a";
    for (int round = 0; round < 60; ++round) {
        TempDir dir;
        WriteFile("mnemo.qvt", RandomBytes(random, 1 + random() % 3000, round % 2 ? textish : ""));
        WriteFile("memory.qvt", RandomBytes(random, random() % 3000, round % 3 ? textish : ""));
        WriteFile("game.bin", RandomBytes(random, random() % 5000));
        std::vector<std::string> arguments = {"game.bin"};
        for (int i = random() % 5; i > 0; --i) arguments.push_back(RandomOption(random));
        bool done = false;
        EXPECT_NO_THROW(done = RunToEnd(arguments)) << "round " << round;
        if (!done) continue;
        for (const auto& entry : std::filesystem::directory_iterator(".")) {
            std::string name = entry.path().filename().string();
            EXPECT_TRUE(name == "mnemo.qvt" || name == "memory.qvt" || name == "game.bin" ||
                        name == "game.asm" || name == "_temp.$$$")
                << "left behind: " << name << " in round " << round;
        }
    }
}

TEST(BadInput, ImageRunningPastTheTopOfMemory) {
    TempDir dir;
    std::string mnemo = ReadFile(std::string(VELKOR_DATA_DIR) + "/mnemo.qvt");
    WriteFile("mnemo.qvt", mnemo);
    std::mt19937 random(7);
    WriteFile("game.bin", RandomBytes(random, 70000));
    EXPECT_TRUE(RunToEnd({"game.bin", "-a$FF00", "-sa"}));
    EXPECT_TRUE(RunToEnd({"game.bin", "-a-$100", "-bc$0010"}));
    EXPECT_TRUE(RunToEnd({"game.bin", "-d", "-a$FFF0", "-bad$FFF0"}));
    EXPECT_TRUE(RunToEnd({"game.bin", "-s69990", "-a$FFFF"}));
}
