#include "engine/past_top.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "core/address_table.h"

namespace {

constexpr int64_t kTop = 0x10000;  // the first address past $FFFF
constexpr size_t kWords = kBitmapBytes / sizeof(uint64_t);

std::vector<uint64_t> Words(const Bitmap& map) {
    std::vector<uint64_t> words(kWords);
    std::memcpy(words.data(), map.data(), kBitmapBytes);
    return words;
}

// Decodes the defined opcode currentByte at currentAddress, the image positioned after it.
Decoded DecodeAt(RunState& state, const OpcodeShapes& shapes, const Region& region,
                 int64_t address) {
    state.sourceFile.Seek(FileOffsetOf(region, address));
    state.currentAddress = address;
    state.currentByte = state.sourceFile.ReadByte();
    return DecodeStep(state, &shapes);
}

}  // namespace

PastTop StudyPastTop(RunState& state, const OpcodeShapes& shapes) {
    PastTop top;
    const Region& region = CurrentRegion(state);
    const int64_t end = EndAddress(region);
    state.phase = 1;
    // The addresses $10000-$10002, where the byte rule still decides (which of them a pass
    // takes as steps depends on where it leaves $FFFF).
    for (int64_t a = std::max(region.address, kTop); a < std::min(end, kSameEveryPassFrom); ++a) {
        state.sourceFile.Seek(FileOffsetOf(region, a));
        if (state.mnemonicTable[state.sourceFile.ReadByte()].empty()) continue;
        const Decoded d = DecodeAt(state, shapes, region, a);
        if (a == kTop) {
            top.quietAtTop = !(d.isFlow && InAddressSpace(d.target)) &&
                             !(d.hasOperand && InAddressSpace(d.operand));
        }
        for (const auto& [writes, bit] :
             {std::pair{d.recorded, d.recordedValue}, std::pair{d.hasOperand, d.operand}}) {
            if (writes && InAddressSpace(bit))
                top.nearTopBits.push_back(static_cast<uint16_t>(bit));
        }
    }
    top.from = std::max(region.address, kSameEveryPassFrom);
    if (top.from >= end) return top;
    top.present = true;

    // The steps in order: every one is rejected, so the next starts at the byte after.
    Bitmap written{}, setSome{}, setLast{};
    for (int64_t a = top.from; a < end; ++a) {
        state.sourceFile.Seek(FileOffsetOf(region, a));
        if (state.mnemonicTable[state.sourceFile.ReadByte()].empty()) continue;
        const Decoded d = DecodeAt(state, shapes, region, a);
        if (d.recorded) {
            SetBit(written, d.recordedValue);
            SetBit(setSome, d.recordedValue);
            SetBit(setLast, d.recordedValue);
        }
        if (d.hasOperand) {
            SetBit(written, d.operand);
            ClearBit(setLast, d.operand);  // cleared, unless an accepted instruction named it
        }
        if (state.sourceFile.Position() + d.length >= EndOffset(region)) break;  // ends the pass
    }
    top.written = Words(written);
    top.setSome = Words(setSome);
    top.setLast = Words(setLast);
    for (size_t i = 0; i < kWords; ++i) {
        if (top.written[i] != 0) top.words.push_back(static_cast<uint32_t>(i));
    }
    return top;
}

void ApplyPastTop(RunState& state, const PastTop& top) {
    // A bit that an accepted instruction has named is never cleared: it is set if any step sets
    // it, and keeps its value otherwise. Any other bit ends as the last write leaves it.
    uint8_t* referenced = state.referencedMap.data();
    const uint8_t* named = state.codeRefMap.data();
    for (uint32_t i : top.words) {
        uint64_t ref, code;
        std::memcpy(&ref, referenced + i * sizeof ref, sizeof ref);
        std::memcpy(&code, named + i * sizeof code, sizeof code);
        const uint64_t w = top.written[i];
        ref = (ref & ~w) | (w & code & (top.setSome[i] | ref)) | (w & ~code & top.setLast[i]);
        std::memcpy(referenced + i * sizeof ref, &ref, sizeof ref);
    }
}
