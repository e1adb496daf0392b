#include "engine/step_decoding.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>

#include "core/run_state.h"
#include "engine/analysis.h"
#include "engine/instruction_format.h"
#include "engine/text_helpers.h"

namespace {

// The followed instructions: these mnemonics (any case), one blank, then "$" and the target.
constexpr const char* kFlowMnemonics[] = {"JSR", "JMP", "BPL", "BMI", "BNE",
                                          "BCS", "BCC", "BVC", "BVS", "BEQ"};
constexpr size_t kFlowPrefixLength = 5;

Decoded FactsOfText(const std::string& text, int length) {
    Decoded d;
    d.length = length;
    d.hasOperand = OperandNumber(text, d.operand);
    d.isFlow = FlowTarget(text, d.target);
    return d;
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The shape of a pattern with its placeholder at the index. The operand goes in as "$" and four
// hex digits; when nothing else of the text holds a "$" and the text after the operand cannot
// continue its number, " $" appears exactly when a blank precedes the placeholder, and the
// operand number and any jump target are the operand value.
OpcodeShape ShapeOfPattern(const std::string& pattern, size_t position) {
    OpcodeShape shape;
    shape.placeholder = pattern[position];
    shape.length = OperandLength(shape.placeholder);
    const std::string before = pattern.substr(0, position);
    const std::string after = pattern.substr(position + 1);
    if (position < 4 || before.find('$') != std::string::npos ||
        after.find('$') != std::string::npos || (!after.empty() && IsHexDigit(after[0]))) {
        shape.kind = OpcodeShape::ByText;
        return shape;
    }
    shape.kind = OpcodeShape::WithOperand;
    shape.blankBeforeOperand = pattern[position - 1] == ' ';
    int64_t unused;
    shape.flowMnemonic = position == 4 && FlowTarget(pattern.substr(0, 4) + "$0", unused);
    shape.forcedWhenSmall = ForcesAbsolute(pattern, shape.placeholder, 0);
    return shape;
}

Decoded DecodeByShape(RunState& state, const OpcodeShape& shape) {
    if (shape.kind == OpcodeShape::Fixed) {
        state.instructionLength = 1;
        return shape.fixed;
    }
    ReadOperand(state, shape.placeholder, shape.length);
    return FactsOfOperandShape(state.mnemonicsOff == 1, shape, state.currentByte,
                               state.operandValue, IsCutByEndOfFile(state, shape.length));
}

// Through the text. The formatter records operands only in the analysis phase; the caller
// applies the record itself, so the text is built outside that phase.
Decoded DecodeByText(RunState& state) {
    const uint8_t phase = state.phase;
    state.phase = 0;
    state.rawLine = FormatInstruction(state, state.currentByte);
    state.phase = phase;
    Decoded d = FactsOfText(state.rawLine, state.instructionLength);
    const std::string& pattern = state.mnemonicTable[state.currentByte];
    if (PlaceholderPosition(pattern) != std::string::npos &&
        !IsCutByEndOfFile(state, state.instructionLength)) {
        d.recorded = IsRecordedValue(state.operandValue);
        d.recordedValue = state.operandValue;
    }
    return d;
}

}  // namespace

bool FlowTarget(const std::string& text, int64_t& target) {
    if (text.size() < kFlowPrefixLength || text[3] != ' ' || text[4] != '$') return false;
    char mnemonic[4] = {0};
    for (int i = 0; i < 3; ++i) {
        mnemonic[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
    }
    if (std::none_of(std::begin(kFlowMnemonics), std::end(kFlowMnemonics),
                     [&](const char* m) { return std::strcmp(m, mnemonic) == 0; })) {
        return false;
    }
    std::string_view rest = std::string_view(text).substr(3);
    target = ParseNumber(rest.substr(0, rest.find(',')));
    return true;
}

OpcodeShapes ShapesOfTable(const RunState& state) {
    OpcodeShapes shapes;
    for (int opcode = 0; opcode < 256; ++opcode) {
        const std::string& pattern = state.mnemonicTable[opcode];
        if (pattern.empty()) continue;
        size_t position = PlaceholderPosition(pattern);
        if (position != std::string::npos) {
            shapes[opcode] = ShapeOfPattern(pattern, position);
        } else {
            std::string text = pattern;
            TrimTrailingBlanks(text);
            shapes[opcode].kind = OpcodeShape::Fixed;
            shapes[opcode].fixed = FactsOfText(text, 1);
        }
    }
    return shapes;
}

bool HasTextShapes(const OpcodeShapes& shapes) {
    return std::any_of(shapes.begin(), shapes.end(),
                       [](const OpcodeShape& shape) { return shape.kind == OpcodeShape::ByText; });
}

Decoded DecodeStep(RunState& state, const OpcodeShapes* shapes) {
    if (shapes && (*shapes)[state.currentByte].kind != OpcodeShape::ByText) {
        return DecodeByShape(state, (*shapes)[state.currentByte]);
    }
    return DecodeByText(state);
}
