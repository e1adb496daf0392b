#include "engine/analysis.h"

#include <algorithm>
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

void Accept(RunState& state, int length) {
    NoteFlowTarget(state, state.rawLine);
    for (int i = 0; i < length; ++i) SetIsCode(state, state.currentAddress + i, 1);
    int64_t operand;
    if (OperandNumber(state.rawLine, operand)) SetBit(state.codeRefMap, operand);
    state.currentAddress += length;
}

// Returns false when the rejection ends the pass.
bool Reject(RunState& state, int length) {
    int64_t operand;
    if (OperandNumber(state.rawLine, operand)) {
        if (!TestBit(state.codeRefMap, operand)) ClearBit(state.referencedMap, operand);
        ClearBit(state.referencedMap, state.currentAddress);
    }
    const int64_t position = state.sourceFile.Position();
    if (position + length >= state.imageSize) return false;
    state.sourceFile.Seek(position - (length - 1));
    SetIsCode(state, state.currentAddress, 0);
    state.instructionLength = 1;
    state.currentAddress += 1;
    return true;
}

// Applies the byte rule to currentByte; returns false when the pass ends here.
bool ApplyByteRule(RunState& state, PassState& pass) {
    if (state.mnemonicTable[state.currentByte].empty()) {
        MarkDataForward(state, pass);
        state.currentAddress += 1;
        return true;
    }
    state.rawLine = FormatInstruction(state, state.currentByte);
    const int length = state.instructionLength;
    state.firstByteClass = InfoAt(state, state.currentAddress).isCode;
    state.acceptInstruction = IsAccepted(state, length) ? 1 : 0;
    if (state.acceptInstruction == 1) {
        Accept(state, length);
        return true;
    }
    return Reject(state, length);
}

void RunPass(RunState& state) {
    state.sourceFile.Seek(state.skipCount);
    state.phase = 1;
    state.currentAddress = state.startAddress;
    state.dataColumn = 0;
    SetIsEntry(state, state.startAddress, 1);
    state.passAgain = 0;
    PassState pass;
    while (!state.sourceFile.AtEnd()) {
        state.currentByte = state.sourceFile.ReadByte();
        if (!ApplyByteRule(state, pass)) break;
    }
    ConsoleWrite(state, ".");
}

}  // namespace

void RunAnalysis(RunState& state) {
    while (state.passAgain == 1) RunPass(state);
    state.sourceFile.Close();
}

bool OperandNumber(const std::string& text, int64_t& number) {
    size_t at = text.find(" $");
    if (at == std::string::npos) return false;
    std::string_view rest = std::string_view(text).substr(at);
    number = ParseNumber(rest.substr(0, rest.find(',')));
    return true;
}

void NoteFlowTarget(RunState& state, const std::string& text) {
    if (text.size() < kFlowPrefixLength || text[3] != ' ' || text[4] != '$') return;
    char mnemonic[4] = {0};
    for (int i = 0; i < 3; ++i) {
        mnemonic[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
    }
    if (std::none_of(std::begin(kFlowMnemonics), std::end(kFlowMnemonics),
                     [&](const char* m) { return std::strcmp(m, mnemonic) == 0; })) {
        return;
    }
    std::string_view rest = std::string_view(text).substr(3);
    int64_t target = ParseNumber(rest.substr(0, rest.find(',')));
    // A target outside the address space has no record; it can neither become an entry point
    // nor ask for another pass (no later pass could ever settle it).
    if (!InAddressSpace(target)) return;
    SetIsEntry(state, target, 1);
    if (!TestBit(state.codeRefMap, target) && target < state.currentAddress &&
        InfoAt(state, target).isCode == 0) {
        state.passAgain = 1;
    }
}
