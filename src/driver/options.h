// Command-line options. Each option only stores a value in the run state; later steps act on it.
#pragma once

#include <string>

struct RunState;

// Stores one option ("-" or "/", letters in any case, an optional number) or, for an argument
// that is not understood, ends the run with the usage text.
void ParseOption(RunState& state, const std::string& argument);
