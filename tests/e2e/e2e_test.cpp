// Runs the built program on data-driven cases. Each folder under e2e/cases holds:
//   case.txt      what to set up and run (below)
//   console.txt   the expected console output, byte for byte
//   expect/       every file the folder must hold after the run besides the inputs, byte for byte
// case.txt lines:
//   args: ARG ARG ...          the command line (no quoting; arguments hold no blanks)
//   status: N                  the expected exit status
//   image NAME: HEX HEX ...    an input file of bytes (repeat the line to append)
//   text NAME: TEXT            an input text file line, written with CR LF (repeat to append)
//   fill NAME: COUNT HEX       append COUNT copies of a byte
//   copy NAME: PATH            an input file copied from the project (data/mnemo.qvt)
//   dir: NAME                  an input folder
//   fifo: NAME                 a named pipe (nothing ever writes to it)
//   unreadable: NAME           an input file without any permission (skipped as root, where
//                              permissions do not bind)
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "test_support.h"

namespace fs = std::filesystem;

namespace {

struct Case {
    std::string args;
    int status = 0;
    std::map<std::string, std::string> inputs;
    std::set<std::string> dirs;
    std::set<std::string> fifos;
    std::set<std::string> unreadable;
    std::map<std::string, std::string> env;  // environment variables of the run
};

std::string Trim(const std::string& text) {
    size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

Case ReadCase(const fs::path& folder) {
    Case c;
    std::istringstream lines(ReadFile((folder / "case.txt").string()));
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '#') continue;
        size_t colon = line.find(':');
        std::string head = line.substr(0, colon);
        std::string value = colon == std::string::npos ? "" : line.substr(colon + 1);
        std::string word = head.substr(0, head.find(' '));
        std::string name =
            head.find(' ') == std::string::npos ? "" : Trim(head.substr(head.find(' ')));
        if (word == "args")
            c.args = Trim(value);
        else if (word == "status")
            c.status = std::stoi(value);
        else if (word == "dir")
            c.dirs.insert(Trim(value));
        else if (word == "fifo")
            c.fifos.insert(Trim(value));
        else if (word == "unreadable")
            c.unreadable.insert(Trim(value));
        else if (word == "env")
            c.env[name] = Trim(value);
        else if (word == "text")
            c.inputs[name] += (value.empty() ? value : value.substr(1)) + "\r\n";
        else if (word == "copy")
            c.inputs[name] = ReadFile(std::string(VELKOR_SOURCE_DIR) + "/" + Trim(value));
        else if (word == "image") {
            std::istringstream hex(value);
            std::string byte;
            c.inputs[name];  // an image may be empty
            while (hex >> byte)
                c.inputs[name].push_back(static_cast<char>(std::stoi(byte, nullptr, 16)));
        } else if (word == "fill") {
            std::istringstream parts(value);
            int count = 0;
            std::string byte;
            parts >> count >> byte;
            c.inputs[name].append(count, static_cast<char>(std::stoi(byte, nullptr, 16)));
        } else {
            ADD_FAILURE() << "unknown case line: " << line;
        }
    }
    return c;
}

std::map<std::string, std::string> FilesBelow(const fs::path& root) {
    std::map<std::string, std::string> files;
    if (!fs::exists(root)) return files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) {
            files[fs::relative(entry.path(), root).string()] = ReadFile(entry.path().string());
        }
    }
    return files;
}

std::vector<std::string> CaseNames() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(VELKOR_CASES_DIR)) {
        if (entry.is_directory()) names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class EndToEnd : public ::testing::TestWithParam<std::string> {};

}  // namespace

TEST_P(EndToEnd, WritesExactlyTheExpectedFilesAndConsole) {
    const fs::path folder = fs::path(VELKOR_CASES_DIR) / GetParam();
    Case c = ReadCase(folder);
    TempDir work;
    for (const std::string& d : c.dirs) fs::create_directories(d);
    for (const std::string& f : c.fifos) ASSERT_EQ(mkfifo(f.c_str(), 0644), 0);
    if (!c.unreadable.empty() && geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
    for (const auto& [name, bytes] : c.inputs) {
        if (fs::path(name).has_parent_path()) fs::create_directories(fs::path(name).parent_path());
        WriteFile(name, bytes);
    }
    for (const std::string& f : c.unreadable) ASSERT_EQ(chmod(f.c_str(), 0), 0);
    std::string command = "env -u VELKOR_DATA";
    for (const auto& [name, value] : c.env) command += " " + name + "='" + value + "'";
    command += std::string(" ") + VELKOR_BINARY;
    std::istringstream words(c.args);
    for (std::string word; words >> word;) command += " '" + word + "'";
    command += " > ../" + fs::path(work.path()).filename().string() + ".console 2>&1";
    int raw = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), c.status);

    const std::string consoleName = work.path() + ".console";
    EXPECT_EQ(ReadFile(consoleName), ReadFile((folder / "console.txt").string()));
    fs::remove(consoleName);

    std::map<std::string, std::string> expected = FilesBelow(folder / "expect");
    for (const auto& [name, bytes] : c.inputs) expected.emplace(name, bytes);  // inputs unchanged
    for (const std::string& f : c.unreadable) chmod(f.c_str(), 0644);
    std::map<std::string, std::string> actual = FilesBelow(work.path());
    for (const auto& [name, bytes] : expected) {
        auto found = actual.find(name);
        if (found == actual.end()) {
            ADD_FAILURE() << "missing file " << name;
        } else {
            EXPECT_EQ(found->second, bytes) << "in file " << name;
        }
    }
    for (const auto& [name, bytes] : actual) {
        EXPECT_TRUE(expected.count(name)) << "unexpected file " << name;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, EndToEnd, ::testing::ValuesIn(CaseNames()), [](const auto& info) {
    std::string name = info.param;
    std::replace_if(
        name.begin(), name.end(),
        [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
});
