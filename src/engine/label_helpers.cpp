#include "engine/label_helpers.h"

#include "driver/run_state.h"
#include "engine/text_helpers.h"
#include "engine/user_notes.h"

std::string CodeLabel(const RunState& state, int64_t address) {
    if (const std::string* name = LineName(state, address)) return *name;
    return state.labelPrefix + FormatHex(address, 4);
}

bool CarriesLabel(const RunState& state, int64_t address) {
    return IsLabelTarget(state, address) ||
           (TestBit(state.userNamed, address) && LineName(state, address));
}

std::string LabelField(const RunState& state) {
    if (state.phase == 2 && CarriesLabel(state, state.currentAddress)) {
        return CodeLabel(state, state.currentAddress) + "\t";
    }
    return "\t";
}
