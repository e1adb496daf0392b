// Command-line options. Each option only stores a value in the run state; later steps act on it.
#pragma once

#include <string>

struct RunState;

// Options files may name further options files, up to this depth.
constexpr int kMaxOptionFileDepth = 8;

// The longest comment text (-c) and name (-n) an assembler line holds: a comment line is "; "
// and the text, and a line may hold a name twice (a label and an operand).
constexpr size_t kMaxCommentLength = 65533;
constexpr size_t kMaxNameLength = 32000;

// Stores one option ("-" or "/", letters in any case, an optional number) or, for an argument
// that is not understood, ends the run with the usage text.
void ParseOption(RunState& state, const std::string& argument);

// One command-line argument after the source: an option, or "@FILE", which reads further
// options from FILE, one per line as typed on the command line (blanks around it are dropped,
// and a ";" starts a comment). A missing file stops the run with a message.
void ParseArgument(RunState& state, const std::string& argument, int depth = 0);

// The option a line of an options file holds: the text before any ";" (a -c option's text runs
// to the end of the line), without the blanks and tabs around it; empty for a line that holds
// none.
std::string OptionOfLine(const std::string& line);
