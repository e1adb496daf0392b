// Shared test tools: a temporary working folder, file helpers, and a fresh run state whose
// console output is captured.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "core/run_state.h"

// Creates an empty folder under /tmp, makes it the current directory, and on destruction
// returns to the previous directory and removes the folder.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    const std::string& path() const { return path_; }

  private:
    std::string path_;
    std::string previous_;
};

void WriteFile(const std::string& name, const std::string& bytes);
std::string ReadFile(const std::string& name);
bool PathExists(const std::string& name);

// Bytes from a list of values.
std::string Bytes(std::initializer_list<int> values);

// A run state as the run sequence leaves it after the defaults, console captured.
struct TestRun {
    TestRun();
    ~TestRun();
    std::string Console();  // everything written to the console so far
    RunState& operator*() { return *state; }
    RunState* operator->() { return state.get(); }

    std::unique_ptr<RunState> state;
    std::FILE* console = nullptr;
};

// Sets the given patterns in the opcode table.
void SetPatterns(RunState& state, const std::vector<std::pair<int, std::string>>& patterns);

// Writes the image, opens it as the run sequence does and sets imageSize.
void OpenImage(RunState& state, const std::string& bytes, const std::string& name = "image.bin");
