// Turns one opcode of the image into the text of its instruction, reading the operand bytes from
// the image as it goes. The pattern from the mnemonic file holds at most one placeholder:
//   N  one byte written as a value (immediates, zero-page indirect forms)
//   Z  one byte, a zero-page address
//   Q  two bytes, low first, an absolute address
//   L  one byte, a relative branch; the target address is written
// In the analysis (phase 1) operand addresses are recorded; in the listing (phase 2) they become
// generated labels or names, and labels inside the instruction go to the inner-label file.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/run_state.h"

constexpr char kInnerLabelFileName[] = "_tmp.$$$";

// The instruction text for the opcode (the byte just read, at currentAddress), the image
// positioned just after it; sets instructionLength. No trailing blanks.
std::string FormatInstruction(RunState& state, uint8_t opcode);

// The templates of the opcode table.
std::vector<InstructionTemplate> InstructionTemplates(const RunState& state);

// In the listing (phase 2): appends to out the text that FormatInstruction gives for the opcode,
// with the same effects, from the opcode's template.
void AppendInstruction(RunState& state, const std::vector<InstructionTemplate>& templates,
                       uint8_t opcode, std::string& out);

// In the listing: writes one inner-label entry for each label that falls on a later byte of the
// instruction at currentAddress and sets anchorLabel to the instruction's own label. A byte the
// user named keeps its name in the references (an equate defines it).
void ReportInnerLabels(RunState& state, uint8_t length);

// Formats the operand whose placeholder stands at the index of workLine, for an instruction of
// the given length. Only FormatInstruction calls it.
void FormatOperand(RunState& state, size_t position, uint8_t length);

// ---- The steps of the operand rules that do not depend on the text, shared with the analysis.

// The index of the pattern's placeholder (the first of N, Q, Z, L present), or npos.
size_t PlaceholderPosition(const std::string& pattern);

// The instruction length that a placeholder stands for.
uint8_t OperandLength(char placeholder);

// Reads the operand bytes that lie inside the file and works out operandValue (for L the branch
// target); sets instructionLength. Returns the number of bytes read.
int ReadOperand(RunState& state, char placeholder, uint8_t length);

// The operand value of an instruction at the address from its operand bytes (those not read are
// zero): the bytes, low first, or for L the branch target.
int64_t OperandValue(char placeholder, uint8_t length, const std::array<uint8_t, 2>& bytes,
                     int bytesRead, int64_t address);

// True when an instruction of this length at currentAddress runs past the end of the file.
bool IsCutByEndOfFile(const RunState& state, uint8_t length);

// Records operandValue as seen in an operand (the hardware registers $D000-$D7FF excepted).
void RecordReference(RunState& state);
bool IsRecordedValue(int64_t value);

// True when ".w" goes after the mnemonic: a Q operand below $100, except in jmp and jsr.
bool ForcesAbsolute(const std::string& pattern, char placeholder, int64_t value);
