// The usage text, shown for a missing source argument and for any option that is not understood.
#pragma once

struct RunState;

// Ends the run with the usage text (main prints it and exits with the usage status).
[[noreturn]] void ShowUsage();

// Writes the lines of the usage text to the console.
void WriteUsageText(RunState& state);
