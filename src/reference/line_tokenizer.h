// The line tokenizer shared by the readers of the reference files.
#pragma once

#include <string>

struct RunState;

// Cuts the text before the first delimiter off the front of workLine and returns it; workLine
// keeps the text after the delimiter. Tabs in workLine become blanks first. Without a delimiter
// the result is empty and workLine keeps the whole (tab-free) text.
std::string CutToken(RunState& state, char delimiter);
