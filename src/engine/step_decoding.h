// What the analysis needs to know of the instruction that starts at one address: its length,
// its operand number, the jump or branch target it names and the operand value it records.
// Worked out from the opcode's shape where the pattern has a plain form, else from the text.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct RunState;

struct Decoded {
    int length = 1;
    bool hasOperand = false;  // the text holds " $": an operand number
    int64_t operand = 0;
    bool isFlow = false;  // a followed jump or branch
    int64_t target = 0;
    bool recorded = false;  // the operand value counts as seen (not cut, not a hardware register)
    int64_t recordedValue = 0;
};

// How the text of an opcode's instruction is built, worked out once per run.
struct OpcodeShape {
    enum Kind : uint8_t { Undefined, ByText, Fixed, WithOperand } kind = Undefined;
    char placeholder = 0;
    uint8_t length = 1;
    bool blankBeforeOperand = false;  // " $" appears where the operand goes in
    bool flowMnemonic = false;        // a followed mnemonic, a blank, and the operand
    Decoded fixed;                    // facts of an instruction without operand
};

using OpcodeShapes = std::array<OpcodeShape, 256>;

OpcodeShapes ShapesOfTable(const RunState& state);

// Decodes the defined opcode currentByte at currentAddress, the image positioned just after it:
// reads the operand bytes and sets instructionLength. Records nothing: the caller applies the
// recorded value in its own order. Without shapes every instruction goes through its text.
Decoded DecodeStep(RunState& state, const OpcodeShapes* shapes);

// True when some opcode's pattern has an unusual form that only its text decides.
bool HasTextShapes(const OpcodeShapes& shapes);

// The image's bytes from the first one after the skipped ones.
using ImageBytes = std::vector<uint8_t>;

// DecodeStep for the defined opcode image[at], at the address, from the bytes in memory; for
// opcodes of a plain shape (not ByText). The end of the image is the end of the bytes.
Decoded DecodeInImage(const RunState& state, const OpcodeShape& shape, const ImageBytes& image,
                      size_t at, int64_t address);

// The target of a followed jump or branch text ("JMP $" and so on, any case).
bool FlowTarget(const std::string& text, int64_t& target);
