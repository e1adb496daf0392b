#include "engine/analysis.h"

#include <algorithm>
#include <string_view>

#include "driver/console.h"
#include "driver/run_state.h"
#include "engine/pass_replay.h"
#include "engine/step_decoding.h"
#include "engine/text_helpers.h"

namespace {

constexpr int64_t kLastMarkable = 0xFFFE;  // an undefined opcode never marks $FFFF
constexpr int kWholePassesFirst = 3;

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
bool ApplyByteRule(RunState& state, PassState& pass, const OpcodeShapes* shapes) {
    if (state.mnemonicTable[state.currentByte].empty()) {
        MarkDataForward(state, pass);
        state.currentAddress += 1;
        return true;
    }
    const Decoded d = DecodeStep(state, shapes);
    if (d.recorded) SetBit(state.referencedMap, d.recordedValue);
    state.firstByteClass = InfoAt(state, state.currentAddress).isCode;
    state.acceptInstruction = IsAccepted(state, d.length) ? 1 : 0;
    if (state.acceptInstruction == 1) {
        Accept(state, d);
        return true;
    }
    return Reject(state, d);
}

void RunPass(RunState& state, const OpcodeShapes* shapes) {
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

// Every pass decodes the whole image again.
void RunFullPasses(RunState& state, const OpcodeShapes* shapes) {
    while (state.passAgain == 1) RunPass(state, shapes);
    state.sourceFile.Close();
}

}  // namespace

void RunAnalysis(RunState& state) {
    const OpcodeShapes shapes = ShapesOfTable(state);
    // Most images settle within a few passes, and a whole pass is cheapest then. An image that
    // keeps asking for passes goes on with passes that replay the one before.
    const bool canReplay = CanReplayPasses(state);
    for (int pass = 0; state.passAgain == 1 && (pass < kWholePassesFirst || !canReplay); ++pass) {
        RunPass(state, &shapes);
    }
    if (state.passAgain == 1) RunReplayedPasses(state, shapes);
    state.sourceFile.Close();
}

void RunAnalysisByText(RunState& state) {
    RunFullPasses(state, nullptr);
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
