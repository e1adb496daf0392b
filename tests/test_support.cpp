#include "test_support.h"

#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "driver/run_sequence.h"

TempDir::TempDir() {
    char buffer[PATH_MAX];
    if (!getcwd(buffer, sizeof buffer)) throw std::runtime_error("getcwd");
    previous_ = buffer;
    char pattern[] = "/tmp/velkor-test-XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp");
    path_ = pattern;
    if (chdir(path_.c_str()) != 0) throw std::runtime_error("chdir");
}

TempDir::~TempDir() {
    if (chdir(previous_.c_str()) != 0) return;
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

void WriteFile(const std::string& name, const std::string& bytes) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string ReadFile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool PathExists(const std::string& name) {
    std::error_code ec;
    return std::filesystem::exists(name, ec);
}

std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (int v : values) bytes.push_back(static_cast<char>(v));
    return bytes;
}

TestRun::TestRun() : state(std::make_unique<RunState>()) {
    console = std::tmpfile();
    state->console.out = console;
    SetRunDefaults(*state);
}

TestRun::~TestRun() {
    if (console) std::fclose(console);
}

std::string TestRun::Console() {
    std::fflush(console);
    long end = std::ftell(console);
    std::string text(static_cast<size_t>(end), '\0');
    std::rewind(console);
    size_t got = std::fread(text.data(), 1, text.size(), console);
    text.resize(got);
    std::fseek(console, 0, SEEK_END);
    return text;
}

void SetPatterns(RunState& state, const std::vector<std::pair<int, std::string>>& patterns) {
    for (const auto& [opcode, pattern] : patterns) state.mnemonicTable[opcode] = pattern;
}

void OpenImage(RunState& state, const std::string& bytes, const std::string& name) {
    WriteFile(name, bytes);
    state.sourceName = name;
    state.sourcePath = name;
    OpenSource(state, name);
    state.imageSize = state.sourceFile.Size();
    state.image = RawImageMap(state.startAddress, state.skipCount, state.imageSize);
}
