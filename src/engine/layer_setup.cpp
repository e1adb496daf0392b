#include "engine/layer_setup.h"

#include "core/address_table.h"

void PrepareLayer(RunState& state, int layer) {
    state.currentLayer = layer;
    state.labelPrefix = LabelPrefixOfLayer(layer);
    // The first layer starts from the tables as the options left them.
    if (layer > 0) {
        ResetAddressTables(state);
        state.referencedMap.fill(0);
        state.codeRefMap.fill(0);
        state.labelsLayer = -1;
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

void PreparePicture(RunState& state, const Picture& picture,
                    const std::vector<std::vector<int64_t>>& carried) {
    const ImageMap& map = state.image;
    ResetAddressTables(state);
    state.referencedMap.fill(0);
    state.codeRefMap.fill(0);
    state.labelsLayer = -1;
    for (int index : picture.dataRegions) {
        const Region& r = map.regions[static_cast<size_t>(index)];
        for (int64_t a = r.address; a < EndAddress(r); ++a) SetIsCode(state, a, 0);
    }
    if (!picture.startsAreEntries) {
        for (int index : picture.regions) {
            const int64_t before = map.regions[static_cast<size_t>(index)].address - 1;
            if (RegionInPicture(map, picture, before) < 0) SetIsCode(state, before, 0);
        }
    }
    for (int64_t address : picture.entries) ApplyBlockHint(state, {address, 'c'});
    for (int index : picture.regions) {
        for (int64_t address : carried[static_cast<size_t>(index)]) SetIsEntry(state, address, 1);
    }
    for (int64_t address : picture.labels) {  // data the machine reads: labelled, never code
        SetBit(state.referencedMap, address);
        SetBit(state.codeRefMap, address);
    }
    for (int hint : picture.hints) {
        ApplyBlockHint(state, state.blockHints[static_cast<size_t>(hint)]);
    }
}

namespace {

// -bc / -bd: a code or data block start that also carries a label.
void MarkLabelledBlock(RunState& state, int64_t address, uint8_t isCode) {
    SetIsCode(state, address, isCode);
    SetIsEntry(state, address, 1);
    SetBit(state.referencedMap, address);
    SetBit(state.codeRefMap, address);
}

// -bac / -bad: a block start of the given kind for the data-block mode.
void MarkBlockKind(RunState& state, int64_t address, uint8_t isCode, char kind) {
    SetIsCode(state, address, isCode);
    SetIsEntry(state, address, 1);
    SetBlockKind(state, address, static_cast<uint8_t>(kind));
}

}  // namespace

void ApplyBlockHint(RunState& state, const BlockHint& hint) {
    switch (hint.kind) {
        case 'c':
            MarkLabelledBlock(state, hint.address, 1);
            break;
        case 'd':
            MarkLabelledBlock(state, hint.address, 0);
            break;
        case 'C':
            MarkBlockKind(state, hint.address, 1, 'B');
            break;
        default:
            MarkBlockKind(state, hint.address, 0, 'W');
    }
}
