#include "engine/label_helpers.h"

#include "core/address_table.h"
#include "core/layer_tables.h"
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

std::string WordOperand(const RunState& state, const Region& region) {
    const int layer = region.targetLayer;
    const int64_t value = region.wordValue;
    bool labelled = false;
    if (layer >= 0 && state.dataBlockOnly == 1) {
        labelled = true;  // a block start of its layer
    } else if (layer >= 0) {
        labelled = IsLabelInLayer(state, layer, value);
    }
    if (const std::string* name = UserNameOf(state, value)) return *name;
    return (labelled ? LabelPrefixOfLayer(layer) : std::string("$")) + FormatHex(value, 4);
}
