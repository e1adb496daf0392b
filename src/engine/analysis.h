// The analysis passes: decode the image from its first byte to its end, decide for every address
// whether it is code or data, collect entry points and label targets, and pass again while a
// backward jump or branch lands in bytes already taken for data.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/step_decoding.h"

struct RunState;
struct PastTop;

// Runs the passes over the open image (one "." on the console per pass) and closes it.
void RunAnalysis(RunState& state);

// The same passes with every instruction decoded through its full text. RunAnalysis gives the
// same result without building the text of instructions whose pattern has a plain form; this
// one is the reference the tests hold it to.
void RunAnalysisByText(RunState& state);

// Ends a pass past $FFFF: the steps from next (the first one at or after $10000) by the byte
// rule, then the outcome of those that every pass takes alike. The image is open.
void FinishPassPastTop(RunState& state, const PastTop& top, int64_t next);

// The passes over the given Code regions of the open image (by rising address; startsAreEntries:
// each pass makes their first bytes entry points), until none asks for another. byText: whole
// passes, every instruction through its text.
void AnalyseRegions(RunState& state, const OpcodeShapes& shapes, const std::vector<int>& regions,
                    bool startsAreEntries, bool byText);

// Makes the target of an accepted jsr, jmp or conditional branch an entry point, and asks for
// another pass when it lies behind in bytes taken for data.
void NoteFlowTarget(RunState& state, const std::string& text);

// The operand number of an instruction text: the number after its first " $", up to a ",".
// Returns false for texts without " $".
bool OperandNumber(const std::string& text, int64_t& number);
