// What the analysis needs to know of the instruction that starts at one address: its length,
// its operand number, the jump or branch target it names and the operand value it records.
// Worked out from the opcode's shape where the pattern has a plain form, else from the text.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/instruction_format.h"

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
    bool forcedWhenSmall = false;     // an operand value below $0100 is written ".w", no jump
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

// The facts of an instruction of an operand shape (WithOperand), from its opcode, its operand
// value and whether the end of the image cuts it, as formatting it in the analysis would give.
inline Decoded FactsOfOperandShape(bool mnemonicsOff, const OpcodeShape& shape, uint8_t opcode,
                                   int64_t value, bool cut) {
    Decoded d;
    d.length = shape.length;
    d.recorded = !cut && IsRecordedValue(value);
    d.recordedValue = value;
    if (cut || mnemonicsOff) {
        // The text is a dta line: its number is the opcode, and it is no jump.
        d.hasOperand = true;
        d.operand = opcode;
        return d;
    }
    d.hasOperand = shape.blankBeforeOperand;
    d.operand = value;
    d.isFlow = shape.flowMnemonic && !(shape.forcedWhenSmall && value < 0x100);
    d.target = value;
    return d;
}

// DecodeStep for the defined opcode image[at], at the address, from the size bytes in memory; for
// opcodes of a plain shape (not ByText). The end of the image is the end of the bytes.
inline Decoded DecodeInImage(bool mnemonicsOff, const OpcodeShape& shape, const uint8_t* image,
                             size_t size, size_t at, int64_t address) {
    if (shape.kind == OpcodeShape::Fixed) return shape.fixed;
    const int length = shape.length;
    int64_t value;
    if (shape.placeholder == 'L') {
        // The address after the instruction plus the signed offset, wrapped to 16 bits.
        const uint8_t b = at + 1 < size ? image[at + 1] : 0;
        value = (address + (b >= 0x80 ? b - 256 : b) + length) & 0xFFFF;
    } else if (length == 3 && at + 2 < size) {
        value = image[at + 1] + 256 * image[at + 2];
    } else {
        value = at + 1 < size ? image[at + 1] : 0;
    }
    return FactsOfOperandShape(mnemonicsOff, shape, image[at], value,
                               at + static_cast<size_t>(length) > size);
}

// The target of a followed jump or branch text ("JMP $" and so on, any case).
bool FlowTarget(const std::string& text, int64_t& target);
