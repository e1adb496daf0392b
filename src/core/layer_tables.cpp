#include "core/layer_tables.h"

#include <algorithm>

#include "core/address_table.h"

namespace {

// The part of the address table that a Code or Data region covers, [first, end); empty for one
// outside $0000-$FFFF.
void RangeOf(const Region& r, int64_t& first, int64_t& end) {
    first = std::max<int64_t>(r.address, 0);
    end = std::max(first, std::min(EndAddress(r), kAddressCount));
}

// Calls visit(region, first, end) for each of the layer's Code and Data regions, in file order.
template <typename Visit>
void ForEachRangeOfLayer(const RunState& state, int layer, Visit visit) {
    for (int index : state.image.layers[static_cast<size_t>(layer)].regions) {
        int64_t first, end;
        RangeOf(state.image.regions[static_cast<size_t>(index)], first, end);
        if (first < end) visit(index, first, end);
    }
}

bool IsLabelTargetHere(const RunState& state, int64_t address) {
    return TestBit(state.codeRefMap, address) && TestBit(state.referencedMap, address);
}

}  // namespace

void StartKeptLayers(RunState& state) {
    if (state.image.layers.size() != static_cast<size_t>(state.image.layerCount)) {
        IndexLayers(state.image);
    }
    state.keptLayers.assign(static_cast<size_t>(state.image.layerCount), KeptLayer{});
    state.keptOffsets.assign(state.image.regions.size(), -1);
    for (int layer = 0; layer < state.image.layerCount; ++layer) {
        KeptLayer& kept = state.keptLayers[static_cast<size_t>(layer)];
        ForEachRangeOfLayer(state, layer, [&](int index, int64_t first, int64_t end) {
            state.keptOffsets[static_cast<size_t>(index)] =
                static_cast<int64_t>(kept.addressInfo.size());
            kept.addressInfo.resize(kept.addressInfo.size() + static_cast<size_t>(end - first),
                                    AddressInfo{0, 0, 0});
        });
    }
    state.labelsLayer = -1;
}

void KeepRegionCells(RunState& state, int region) {
    const Region& r = state.image.regions[static_cast<size_t>(region)];
    int64_t first, end;
    RangeOf(r, first, end);
    const int64_t offset = state.keptOffsets[static_cast<size_t>(region)];
    if (first >= end || offset < 0) return;
    PrepareAddresses(state, first, end);
    std::copy(state.addressInfo.begin() + first, state.addressInfo.begin() + end,
              state.keptLayers[static_cast<size_t>(r.layer)].addressInfo.begin() + offset);
}

void KeepRegionLabels(RunState& state, int region) {
    const Region& r = state.image.regions[static_cast<size_t>(region)];
    int64_t first, end;
    RangeOf(r, first, end);
    std::vector<uint16_t>& labels = state.keptLayers[static_cast<size_t>(r.layer)].labels;
    for (int64_t a = first; a < end; ++a) {
        if (IsLabelTargetHere(state, a)) labels.push_back(static_cast<uint16_t>(a));
    }
}

void FinishKeptLayers(RunState& state) {
    for (KeptLayer& kept : state.keptLayers) {
        std::sort(kept.labels.begin(), kept.labels.end());
        kept.labels.erase(std::unique(kept.labels.begin(), kept.labels.end()), kept.labels.end());
    }
}

void KeepLayer(RunState& state, int layer) {
    if (state.image.layerCount < 2) return;
    if (state.keptLayers.size() != static_cast<size_t>(state.image.layerCount)) {
        StartKeptLayers(state);
    }
    state.keptLayers[static_cast<size_t>(layer)].labels.clear();
    ForEachRangeOfLayer(state, layer, [&](int index, int64_t, int64_t) {
        KeepRegionCells(state, index);
        KeepRegionLabels(state, index);
    });
    FinishKeptLayers(state);
}

void SwitchToLayer(RunState& state, int layer) {
    const KeptLayer& kept = state.keptLayers[static_cast<size_t>(layer)];
    ForEachRangeOfLayer(state, layer, [&](int index, int64_t first, int64_t end) {
        PrepareAddresses(state, first, end);
        auto from = kept.addressInfo.begin() + state.keptOffsets[static_cast<size_t>(index)];
        std::copy(from, from + (end - first), state.addressInfo.begin() + first);
    });
    // Only the labels of the kept layer the bitmaps hold are taken away: a layer costs its own
    // labels, not the whole bitmaps.
    if (state.labelsLayer < 0) {
        state.referencedMap.fill(0);
        state.codeRefMap.fill(0);
    } else {
        for (uint16_t a : state.keptLayers[static_cast<size_t>(state.labelsLayer)].labels) {
            ClearBit(state.referencedMap, a);
            ClearBit(state.codeRefMap, a);
        }
    }
    for (uint16_t a : kept.labels) {
        SetBit(state.referencedMap, a);
        SetBit(state.codeRefMap, a);
    }
    state.labelsLayer = layer;
    state.currentLayer = layer;
    state.labelPrefix = LabelPrefixOfLayer(layer);
}

bool IsLabelInLayer(const RunState& state, int layer, int64_t address) {
    if (layer == state.currentLayer) return IsLabelTargetHere(state, address);
    if (layer < 0 || static_cast<size_t>(layer) >= state.keptLayers.size()) return false;
    const std::vector<uint16_t>& labels = state.keptLayers[static_cast<size_t>(layer)].labels;
    return InAddressSpace(address) &&
           std::binary_search(labels.begin(), labels.end(), static_cast<uint16_t>(address));
}
