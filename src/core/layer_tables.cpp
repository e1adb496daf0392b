#include "core/layer_tables.h"

#include <algorithm>

#include "core/address_table.h"

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
