#include "engine/analysis.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <string_view>

#include "driver/console.h"
#include "driver/run_state.h"
#include "engine/instruction_format.h"
#include "engine/text_helpers.h"

namespace {

// The followed instructions: these mnemonics (any case), one blank, then "$" and the target.
constexpr const char* kFlowMnemonics[] = {"JSR", "JMP", "BPL", "BMI", "BNE",
                                          "BCS", "BCC", "BVC", "BVS", "BEQ"};
constexpr size_t kFlowPrefixLength = 5;
constexpr int64_t kLastMarkable = 0xFFFE;  // an undefined opcode never marks $FFFF

struct PassState {
    // End (exclusive) of the data marked by the last undefined opcode of this pass. Within a pass
    // the addresses ahead only turn from code to data and gain entry points, so a later marking
    // that starts before this end has nothing left to change.
    int64_t markedEnd = -1;
};

// An undefined opcode: the bytes from here up to the next entry point are data.
void MarkDataForward(RunState& state, PassState& pass) {
    int64_t a = std::max<int64_t>(state.currentAddress, 0);
    if (a < pass.markedEnd) return;
    while (a <= kLastMarkable && InfoAt(state, a).isEntry == 0) {
        SetIsCode(state, a, 0);
        ++a;
    }
    pass.markedEnd = a;
}

// What the decisions of the byte rule need to know of a decoded instruction; the same whether
// it is read off the instruction text or worked out from the opcode's shape.
struct Decoded {
    int length = 1;
    bool hasOperand = false;  // the text holds " $": an operand number
    int64_t operand = 0;
    bool isFlow = false;  // a followed jump or branch
    int64_t target = 0;
};

// The target of a followed jump or branch text ("JMP $" and so on, any case).
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

Decoded FactsOfText(const std::string& text, int length) {
    Decoded d;
    d.length = length;
    d.hasOperand = OperandNumber(text, d.operand);
    d.isFlow = FlowTarget(text, d.target);
    return d;
}

// How the text of an opcode's instruction is built, worked out once per run, so that the
// passes need not build the text. Patterns of an unusual form are left to the text.
struct OpcodeShape {
    enum Kind : uint8_t { Undefined, ByText, Fixed, WithOperand } kind = Undefined;
    char placeholder = 0;
    uint8_t length = 1;
    bool blankBeforeOperand = false;  // " $" appears where the operand goes in
    bool flowMnemonic = false;        // a followed mnemonic, a blank, and the operand
    Decoded fixed;                    // facts of an instruction without operand
};

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
    return shape;
}

std::array<OpcodeShape, 256> OpcodeShapes(const RunState& state) {
    std::array<OpcodeShape, 256> shapes;
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

// The effects and facts that formatting the instruction in the analysis would give.
Decoded DecodeByShape(RunState& state, const OpcodeShape& shape) {
    if (shape.kind == OpcodeShape::Fixed) {
        state.instructionLength = 1;
        return shape.fixed;
    }
    Decoded d;
    d.length = shape.length;
    ReadOperand(state, shape.placeholder, shape.length);
    const bool cut = IsCutByEndOfFile(state, shape.length);
    if (!cut) RecordReference(state);
    if (cut || state.mnemonicsOff == 1) {
        // The text is a dta line: its number is the opcode, and it is no jump.
        d.hasOperand = true;
        d.operand = state.currentByte;
        return d;
    }
    const bool forced = ForcesAbsolute(state.mnemonicTable[state.currentByte], shape.placeholder,
                                       state.operandValue);
    d.hasOperand = shape.blankBeforeOperand;
    d.operand = state.operandValue;
    d.isFlow = shape.flowMnemonic && !forced;
    d.target = state.operandValue;
    return d;
}

Decoded Decode(RunState& state, const std::array<OpcodeShape, 256>* shapes) {
    if (shapes && (*shapes)[state.currentByte].kind != OpcodeShape::ByText) {
        return DecodeByShape(state, (*shapes)[state.currentByte]);
    }
    state.rawLine = FormatInstruction(state, state.currentByte);
    return FactsOfText(state.rawLine, state.instructionLength);
}

// The three tests that keep a decoded instruction from being code.
bool IsAccepted(const RunState& state, int length) {
    const int64_t at = state.currentAddress;
    for (int i = 0; i < length; ++i) {
        if (InfoAt(state, at + i).isCode != state.firstByteClass) return false;
    }
    for (int i = 1; i < length; ++i) {
        if (InfoAt(state, at + i).isEntry == 1) return false;
    }
    return InfoAt(state, at).isEntry == 1 || InfoAt(state, at - 1).isCode != 0;
}

// Makes a jump or branch target an entry point; asks for another pass when it lies behind in
// bytes taken for data that no accepted instruction has named yet.
void NoteTarget(RunState& state, int64_t target) {
    // A target outside the address space has no record; it can neither become an entry point
    // nor ask for another pass (no later pass could ever settle it).
    if (!InAddressSpace(target)) return;
    SetIsEntry(state, target, 1);
    if (!TestBit(state.codeRefMap, target) && target < state.currentAddress &&
        InfoAt(state, target).isCode == 0) {
        state.passAgain = 1;
    }
}

void Accept(RunState& state, const Decoded& d) {
    if (d.isFlow) NoteTarget(state, d.target);
    for (int i = 0; i < d.length; ++i) SetIsCode(state, state.currentAddress + i, 1);
    if (d.hasOperand) SetBit(state.codeRefMap, d.operand);
    state.currentAddress += d.length;
}

// Returns false when the rejection ends the pass.
bool Reject(RunState& state, const Decoded& d) {
    if (d.hasOperand) {
        if (!TestBit(state.codeRefMap, d.operand)) ClearBit(state.referencedMap, d.operand);
        ClearBit(state.referencedMap, state.currentAddress);
    }
    const int64_t position = state.sourceFile.Position();
    if (position + d.length >= state.imageSize) return false;
    state.sourceFile.Seek(position - (d.length - 1));
    SetIsCode(state, state.currentAddress, 0);
    state.instructionLength = 1;
    state.currentAddress += 1;
    return true;
}

// Applies the byte rule to currentByte; returns false when the pass ends here.
bool ApplyByteRule(RunState& state, PassState& pass, const std::array<OpcodeShape, 256>* shapes) {
    if (state.mnemonicTable[state.currentByte].empty()) {
        MarkDataForward(state, pass);
        state.currentAddress += 1;
        return true;
    }
    const Decoded d = Decode(state, shapes);
    state.firstByteClass = InfoAt(state, state.currentAddress).isCode;
    state.acceptInstruction = IsAccepted(state, d.length) ? 1 : 0;
    if (state.acceptInstruction == 1) {
        Accept(state, d);
        return true;
    }
    return Reject(state, d);
}

void RunPass(RunState& state, const std::array<OpcodeShape, 256>* shapes) {
    state.sourceFile.Seek(state.skipCount);
    state.phase = 1;
    state.currentAddress = state.startAddress;
    state.dataColumn = 0;
    SetIsEntry(state, state.startAddress, 1);
    state.passAgain = 0;
    PassState pass;
    while (!state.sourceFile.AtEnd()) {
        state.currentByte = state.sourceFile.ReadByte();
        if (!ApplyByteRule(state, pass, shapes)) break;
    }
    ConsoleWrite(state, ".");
}

void RunPasses(RunState& state, const std::array<OpcodeShape, 256>* shapes) {
    while (state.passAgain == 1) RunPass(state, shapes);
    state.sourceFile.Close();
}

}  // namespace

void RunAnalysis(RunState& state) {
    const std::array<OpcodeShape, 256> shapes = OpcodeShapes(state);
    RunPasses(state, &shapes);
}

void RunAnalysisByText(RunState& state) {
    RunPasses(state, nullptr);
}

bool OperandNumber(const std::string& text, int64_t& number) {
    size_t at = text.find(" $");
    if (at == std::string::npos) return false;
    std::string_view rest = std::string_view(text).substr(at);
    number = ParseNumber(rest.substr(0, rest.find(',')));
    return true;
}

void NoteFlowTarget(RunState& state, const std::string& text) {
    int64_t target;
    if (FlowTarget(text, target)) NoteTarget(state, target);
}
