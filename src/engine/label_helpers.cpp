#include "engine/label_helpers.h"

#include "driver/run_state.h"
#include "engine/text_helpers.h"

bool IsLabelTarget(const RunState& state, int64_t address) {
    return TestBit(state.codeRefMap, address) && TestBit(state.referencedMap, address);
}

std::string CodeLabel(const RunState& state, int64_t address) {
    return state.labelPrefix + FormatHex(address, 4);
}

std::string LabelField(const RunState& state) {
    if (state.phase == 2 && IsLabelTarget(state, state.currentAddress)) {
        return CodeLabel(state, state.currentAddress) + "\t";
    }
    return "\t";
}
