#include "driver/usage.h"

#include <gtest/gtest.h>

#include <sstream>

#include "test_support.h"

namespace {

std::vector<std::string> UsageLines() {
    TestRun run;
    WriteUsageText(*run);
    std::istringstream text(run.Console());
    std::vector<std::string> lines;
    for (std::string line; std::getline(text, line);) {
        EXPECT_EQ(line.back(), '\r');
        line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// The manual page text with its escapes for the minus sign taken out.
std::string ManualPage() {
    std::string page = ReadFile(std::string(VELKOR_SOURCE_DIR) + "/doc/velkor.1");
    for (size_t at; (at = page.find("\\-")) != std::string::npos;) page.erase(at, 1);
    return page;
}

}  // namespace

TEST(Usage, HasTheTwelveLinesThenTheNewOptionsWithTabsBetweenOptionAndText) {
    std::vector<std::string> lines = UsageLines();
    ASSERT_EQ(lines.size(), 19u);
    EXPECT_EQ(lines[11], "-bad$xxxx\tblock with address of new data blocks");
    EXPECT_EQ(lines[12], "-x\t\tread Atari load files and cartridges as they are");
    EXPECT_EQ(lines[0], "Syntax: VELKOR source [options]");
    EXPECT_EQ(lines[4], "-a$xxxx\t\taddress of disasembled memory block (default $0400)");
    for (const std::string& line : lines)
        EXPECT_EQ(line.find(' ', line.size() - 1), std::string::npos);
}

TEST(Usage, ManualPageGivesEveryOptionAsTheUsageTextDoes) {
    std::string page = ManualPage();
    std::vector<std::string> lines = UsageLines();
    for (size_t i = 1; i < lines.size(); ++i) {
        size_t tab = lines[i].find('\t');
        std::string option = lines[i].substr(0, tab);
        std::string text = lines[i].substr(lines[i].find_first_not_of('\t', tab));
        EXPECT_NE(page.find("\n" + text + "\n"), std::string::npos) << text;
        std::string letters = option.substr(0, option.find('$'));
        EXPECT_NE(page.find(" " + letters), std::string::npos) << letters;
    }
}
