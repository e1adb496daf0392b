#include "engine/layers.h"

#include <algorithm>

#include "driver/options.h"
#include "driver/run_sequence.h"
#include "driver/run_state.h"
#include "engine/label_helpers.h"
#include "engine/text_helpers.h"
#include "engine/user_notes.h"

void PrepareLayer(RunState& state, int layer) {
    state.currentLayer = layer;
    state.labelPrefix = LabelPrefixOfLayer(layer);
    // The first layer starts from the tables as the options left them.
    if (layer > 0) {
        ResetAddressTables(state);
        state.referencedMap.fill(0);
        state.codeRefMap.fill(0);
    }
    for (const Region& r : state.image.regions) {
        if (r.layer != layer || (r.kind != RegionKind::Words && r.kind != RegionKind::Data)) {
            continue;
        }
        for (int64_t a = r.address; a < EndAddress(r); ++a) SetIsCode(state, a, 0);
    }
    for (const ImageEntry& entry : state.image.entries) {
        if (entry.layer != layer) continue;
        ApplyBlockHint(state, {entry.address, state.dataBlockOnly == 1 ? 'C' : 'c'});
    }
    for (const BlockHint& hint : state.blockHints) ApplyBlockHint(state, hint);
}

namespace {

// Calls visit(first, end) for the part of the address table that each of the layer's Code and
// Data regions covers, in region order.
template <typename Visit>
void ForEachRangeOfLayer(const RunState& state, int layer, Visit visit) {
    for (const Region& r : state.image.regions) {
        if (r.layer != layer || (r.kind != RegionKind::Code && r.kind != RegionKind::Data)) {
            continue;
        }
        const int64_t first = std::max<int64_t>(r.address, 0);
        const int64_t end = std::min(EndAddress(r), kAddressCount);
        if (first < end) visit(static_cast<size_t>(first), static_cast<size_t>(end));
    }
}

}  // namespace

void KeepLayer(RunState& state, int layer) {
    if (state.image.layerCount < 2) return;
    state.keptLayers.resize(static_cast<size_t>(state.image.layerCount));
    KeptLayer& kept = state.keptLayers[static_cast<size_t>(layer)];
    kept.addressInfo.clear();
    ForEachRangeOfLayer(state, layer, [&](size_t first, size_t end) {
        PrepareAddresses(state, static_cast<int64_t>(first), static_cast<int64_t>(end));
        kept.addressInfo.insert(kept.addressInfo.end(), state.addressInfo.begin() + first,
                                state.addressInfo.begin() + end);
    });
    kept.referencedMap = state.referencedMap;
    kept.codeRefMap = state.codeRefMap;
}

void SwitchToLayer(RunState& state, int layer) {
    const KeptLayer& kept = state.keptLayers[static_cast<size_t>(layer)];
    auto from = kept.addressInfo.begin();
    ForEachRangeOfLayer(state, layer, [&](size_t first, size_t end) {
        PrepareAddresses(state, static_cast<int64_t>(first), static_cast<int64_t>(end));
        std::copy(from, from + static_cast<int64_t>(end - first),
                  state.addressInfo.begin() + first);
        from += static_cast<int64_t>(end - first);
    });
    state.referencedMap = kept.referencedMap;
    state.codeRefMap = kept.codeRefMap;
    state.currentLayer = layer;
    state.labelPrefix = LabelPrefixOfLayer(layer);
}

std::string WordOperand(const RunState& state, const Region& region) {
    const int layer = region.targetLayer;
    const int64_t value = region.wordValue;
    bool labelled = false;
    if (layer >= 0 && state.dataBlockOnly == 1) {
        labelled = true;  // a block start of its layer
    } else if (layer == state.currentLayer) {
        labelled = IsLabelTarget(state, value);
    } else if (layer >= 0) {
        const KeptLayer& kept = state.keptLayers[static_cast<size_t>(layer)];
        labelled = TestBit(kept.referencedMap, value) && TestBit(kept.codeRefMap, value);
    }
    if (const std::string* name = UserNameOf(state, value)) return *name;
    return (labelled ? LabelPrefixOfLayer(layer) : std::string("$")) + FormatHex(value, 4);
}
