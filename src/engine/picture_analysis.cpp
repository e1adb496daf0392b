#include "engine/picture_analysis.h"

#include <algorithm>
#include <vector>

#include "core/address_table.h"
#include "core/layer_tables.h"
#include "engine/analysis.h"
#include "engine/layer_setup.h"
#include "engine/machine_data.h"
#include "engine/program_vectors.h"
#include "engine/user_notes.h"
#include "files/byte_file.h"

namespace {

// After a picture's passes, the bytes of the regions it owns that the passes leave open or that
// are data whatever they found. A pass that ends early near a region's end leaves the bytes after
// it as they were: those that follow data and are no entry point are data, as the passes would
// have found. Runs of two or more $00 that no entry point enters are data; a range of code the
// user gives is code.
void SettleOwnedBytes(RunState& state, const Picture& picture, int owner) {
    const ImageMap& map = state.image;
    for (int index : picture.regions) {
        const Region& r = map.regions[static_cast<size_t>(index)];
        if (r.owner != owner || r.address < 0 || EndAddress(r) > kAddressCount) continue;
        for (int64_t a = r.address; a < EndAddress(r); ++a) {
            const AddressInfo info = InfoAt(state, a);
            if (info.isCode == 1 && info.isEntry == 0 && InfoAt(state, a - 1).isCode == 0) {
                SetIsCode(state, a, 0);
            }
        }
        std::vector<uint8_t> bytes(static_cast<size_t>(r.length));
        state.sourceFile.Seek(r.fileOffset);
        state.sourceFile.ReadBytes(bytes.data(), bytes.size());
        for (int64_t at = 0; at < r.length;) {
            int64_t end = at;
            bool entered = false;
            while (end < r.length && bytes[static_cast<size_t>(end)] == 0 &&
                   InfoAt(state, r.address + end).isCode == 1) {
                entered = entered || InfoAt(state, r.address + end).isEntry == 1;
                ++end;
            }
            if (end - at >= 2 && !entered) {
                for (int64_t k = at; k < end; ++k) SetIsCode(state, r.address + k, 0);
            }
            at = std::max(end, at + 1);
        }
    }
    for (const auto& [first, end] : picture.codeRanges) {
        for (int64_t a = first; a < end; ++a) {
            const int index = RegionInPicture(map, picture, a);
            if (index >= 0 && map.regions[static_cast<size_t>(index)].kind == RegionKind::Code &&
                map.regions[static_cast<size_t>(index)].owner == owner) {
                SetIsCode(state, a, 1);
            }
        }
    }
}

// The pictures of an Atari file, in the order they run. Each is analysed as an image of its
// own; then the cells of the regions it owns and the labels of every region it holds are kept
// for the listing, and the entry points it found in regions a later picture owns are carried
// to that picture. Returns the data the machine reads that the pictures' code points at and that
// is not held yet (machine_data.h); labels: whether a picture gained a label for such data.
// byText: every instruction decoded through its text, by whole passes read from the file (the
// reference the tests hold the quicker ways to).
std::vector<HeldRange> AnalysePicturesOnce(RunState& state, const OpcodeShapes& shapes, bool byText,
                                           bool& labels) {
    StartKeptLayers(state);
    ImageMap& map = state.image;
    std::vector<std::vector<int64_t>> carried(map.regions.size());
    const VectorSteps steps = VectorStepsOfTable(state);
    std::vector<HeldRange> held;
    labels = false;
    for (size_t k = 0; k < map.pictures.size(); ++k) {
        Picture& picture = map.pictures[k];
        PreparePicture(state, picture, carried);
        StoredPointers stores;
        do {
            AnalyseRegions(state, shapes, picture.regions, picture.startsAreEntries, byText);
            stores = FindStoredPointers(state, picture, steps);
        } while (AddRoutines(state, picture, stores.routines));
        bool added = false;
        const std::vector<HeldRange> found = FindMachineData(state, picture, stores, added);
        held.insert(held.end(), found.begin(), found.end());
        labels = labels || added;
        SettleOwnedBytes(state, picture, static_cast<int>(k));
        for (const auto& [first, index] : picture.lookup) {
            const Region& r = map.regions[static_cast<size_t>(index)];
            if (r.owner == static_cast<int>(k)) KeepRegionCells(state, index);
            KeepRegionLabels(state, index);
            if (r.owner <= static_cast<int>(k)) continue;
            for (int64_t a = std::max<int64_t>(first, 0);
                 a < std::min(EndAddress(r), kAddressCount); ++a) {
                if (InfoAt(state, a).isEntry == 1) carried[static_cast<size_t>(index)].push_back(a);
            }
        }
    }
    return held;
}

}  // namespace

// The pictures analysed until the data the machine reads is all held: each round that finds
// more cuts it out of the Code regions and analyses again (a few rounds at most).
void AnalysePictures(RunState& state, const OpcodeShapes& shapes, bool byText) {
    constexpr int kRounds = 4;
    for (int round = 0;; ++round) {
        bool labels = false;
        const std::vector<HeldRange> held = AnalysePicturesOnce(state, shapes, byText, labels);
        if ((held.empty() && !labels) || round + 1 == kRounds) break;
        if (!held.empty()) HoldRanges(state.image, held);
    }
    FinishKeptLayers(state);
    SwitchToLayer(state, 0);
    if (state.useLabelFile == 1) AdoptLabelFileNames(state);
}
