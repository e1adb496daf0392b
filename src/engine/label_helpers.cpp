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

int OperandLabelLayer(const RunState& state, int64_t address) {
    const Region& region = CurrentRegion(state);
    if (state.image.pictures.empty() || region.owner < 0) {
        return IsLabelTarget(state, address) &&
                       LiesInLayer(state.image, state.currentLayer, address, 1)
                   ? state.currentLayer
                   : -1;
    }
    const Picture& picture = state.image.pictures[static_cast<size_t>(region.owner)];
    // Regions of an Atari file are cut where segments and data meet: a reference to the last
    // byte of one is as good as any other (a raw image's last byte stays a number).
    const int held = RegionInPicture(state.image, picture, address);
    if (held < 0) return -1;
    const int layer = state.image.regions[static_cast<size_t>(held)].layer;
    return IsLabelInLayer(state, layer, address) ? layer : -1;
}

std::string LabelInLayer(const RunState& state, int layer, int64_t address) {
    if (layer == state.currentLayer) return CodeLabel(state, address);
    if (const std::string* name = LineNameInLayer(state, layer, address)) return *name;
    return LabelPrefixOfLayer(layer) + FormatHex(address, 4);
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
