#include "engine/program_vectors.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "core/address_table.h"
#include "engine/instruction_format.h"

namespace {

constexpr int64_t kSetVbv = 0xE45C;  // SETVBV: sets VVBLKI or VVBLKD from Y (low) and X (high)

// The low bytes of the vectors whose stores install a routine.
constexpr std::array<int64_t, 21> kVectors = {
    0x0200, 0x0202, 0x0204, 0x0206, 0x0208, 0x020A, 0x020C,  // VDSLST ... VSEROC
    0x020E, 0x0210, 0x0212, 0x0214, 0x0216,                  // ... VIMIRQ
    0x0222, 0x0224, 0x0226, 0x0228,                          // VVBLKI, VVBLKD, CDTMA1, CDTMA2
    0x000A, 0x000C, 0x0002,                                  // DOSVEC, DOSINI, CASINI
    0xFFFA, 0xFFFC};
constexpr int64_t kIrqCopy = 0xFFFE;

VectorStep StepOf(const std::string& pattern) {
    VectorStep step;
    step.defined = !pattern.empty();
    const size_t position = PlaceholderPosition(pattern);
    step.length = position == std::string::npos ? 1 : OperandLength(pattern[position]);
    const std::string mnemonic = pattern.substr(0, 3);
    const bool plainAddress = pattern == mnemonic + " Z" || pattern == mnemonic + " Q";
    if (pattern == "lda #N" || pattern == "ldx #N" || pattern == "ldy #N") {
        step.effect = VectorStep::LoadImmediate;
        step.reg = pattern[2];
    } else if (plainAddress && (mnemonic == "sta" || mnemonic == "stx" || mnemonic == "sty")) {
        step.effect = VectorStep::Store;
        step.reg = mnemonic[2];
    } else if (pattern == "jsr Q") {
        step.effect = VectorStep::Call;
    } else if (mnemonic == "jmp" || mnemonic == "jsr" || mnemonic == "rts" || mnemonic == "rti" ||
               mnemonic == "brk" || pattern.find('L') != std::string::npos) {
        step.effect = VectorStep::Flow;
    } else if (pattern == "sei" || pattern == "cli" || pattern == "cld" || pattern == "sed" ||
               pattern == "clc" || pattern == "sec" || pattern == "clv" || pattern == "nop" ||
               pattern == "php" || pattern == "plp") {
        step.effect = VectorStep::Neutral;
    } else if (mnemonic == "sta" || mnemonic == "stx" || mnemonic == "sty") {
        step.effect = VectorStep::Neutral;  // an indexed or indirect store changes no register
    }
    for (const char index : {'x', 'y'}) {
        const std::string suffix = std::string(",") + index;
        if (pattern == "lda Q" + suffix) step.copy = VectorStep::CopyLoad;
        if (pattern == "sta Q" + suffix) step.copy = VectorStep::CopyStore;
        if (pattern == std::string("cp") + index + " #N") step.copy = VectorStep::CopyCount;
        if (step.copy != VectorStep::NoCopy && step.index == 0) step.index = index;
    }
    return step;
}

constexpr int64_t kSdlstl = 0x0230;  // SDLSTL/SDLSTH: the display list, for the OS to set
constexpr int64_t kDlistl = 0xD402;  // DLISTL/DLISTH: the display list, in ANTIC
constexpr int64_t kChbas = 0x02F4;   // CHBAS: the character set's page, for the OS to set
constexpr int64_t kChbase = 0xD409;  // CHBASE: the character set's page, in ANTIC

// What a store into the address sets: a routine (the vectors), a display list, or nothing.
StoredPointers::Kind WordPointerAt(int64_t address) {
    const int64_t low = address & ~int64_t{1};
    if (low == kIrqCopy || std::find(kVectors.begin(), kVectors.end(), low) != kVectors.end()) {
        return StoredPointers::Routine;
    }
    if (low == kSdlstl || low == kDlistl) return StoredPointers::DisplayList;
    return StoredPointers::None;
}

// The scan of one stretch of straight-line code: the registers' immediate values (-1: unknown)
// and the halves of each vector stored so far.
struct Scan {
    int a = -1, x = -1, y = -1;
    struct Half {
        int64_t vector;
        int low = -1, high = -1;
    };
    std::vector<Half> halves;

    int& Register(char r) { return r == 'a' ? a : r == 'x' ? x : y; }
    void Forget() { a = x = y = -1; }
    void Reset() {
        Forget();
        halves.clear();
    }
    // Notes a stored byte; returns the routine's address once both halves are known, or -1.
    int64_t Store(int64_t address, int value) {
        const int64_t vector = address & ~int64_t{1};
        auto it = std::find_if(halves.begin(), halves.end(),
                               [&](const Half& h) { return h.vector == vector; });
        if (it == halves.end()) it = halves.insert(halves.end(), Half{vector});
        ((address & 1) ? it->high : it->low) = value;
        if (it->low < 0 || it->high < 0) return -1;
        const int64_t routine = it->high * 256 + it->low;
        halves.erase(it);
        return routine;
    }
};

}  // namespace

VectorSteps VectorStepsOfTable(const RunState& state) {
    VectorSteps steps;
    for (size_t op = 0; op < 256; ++op) steps[op] = StepOf(state.mnemonicTable[op]);
    return steps;
}

StoredPointers FindStoredPointers(RunState& state, const Picture& picture,
                                  const VectorSteps& steps) {
    const ImageMap& map = state.image;
    StoredPointers found;
    std::vector<uint8_t> bytes;
    for (int index : picture.regions) {
        const Region& r = map.regions[static_cast<size_t>(index)];
        bytes.resize(static_cast<size_t>(r.length));
        state.sourceFile.Seek(r.fileOffset);
        state.sourceFile.ReadBytes(bytes.data(), bytes.size());
        Scan scan;
        int64_t loadFrom = -1;  // the source of an indexed load just before
        char loadIndex = 0;
        int sinceCopy = -1;  // instructions since the last copy's store (-1: none open)
        for (int64_t at = 0; at < r.length;) {
            const VectorStep& step = steps[bytes[static_cast<size_t>(at)]];
            const int64_t length = step.length;
            if (InfoAt(state, r.address + at).isCode != 1 || !step.defined ||
                at + length > r.length) {
                scan.Reset();  // data: the stretch ends
                ++at;
                continue;
            }
            const int64_t operand = length == 1   ? 0
                                    : length == 2 ? bytes[static_cast<size_t>(at + 1)]
                                                  : bytes[static_cast<size_t>(at + 1)] +
                                                        256 * bytes[static_cast<size_t>(at + 2)];
            // Copy loops: the store right after an indexed load with the same index, and a count
            // compared within the next few instructions.
            if (step.copy == VectorStep::CopyStore && loadFrom >= 0 && step.index == loadIndex) {
                found.copies.push_back({loadFrom, operand, 0});
                sinceCopy = 0;
            } else if (step.copy == VectorStep::CopyCount && sinceCopy >= 0 &&
                       step.index == loadIndex) {
                found.copies.back().count = operand;
                sinceCopy = -1;
            } else if (sinceCopy >= 0 && ++sinceCopy > 3) {
                sinceCopy = -1;
            }
            loadFrom = step.copy == VectorStep::CopyLoad ? operand : -1;
            if (step.copy == VectorStep::CopyLoad) loadIndex = step.index;
            switch (step.effect) {
                case VectorStep::LoadImmediate:
                    scan.Register(step.reg) = static_cast<int>(operand);
                    break;
                case VectorStep::Store: {
                    const int value = scan.Register(step.reg);
                    if (value < 0) break;
                    if ((operand == kChbas || operand == kChbase) && value > 0) {
                        found.fonts.push_back(int64_t{value} * 256);
                        break;
                    }
                    const StoredPointers::Kind kind = WordPointerAt(operand);
                    if (kind == StoredPointers::None) break;
                    const int64_t pointer = scan.Store(operand, value);
                    if (pointer < 0) break;
                    (kind == StoredPointers::Routine ? found.routines : found.displayLists)
                        .push_back(pointer);
                    break;
                }
                case VectorStep::Call:
                    if (operand == kSetVbv && scan.x >= 0 && scan.y >= 0) {
                        found.routines.push_back(scan.x * 256 + scan.y);
                    }
                    scan.Reset();
                    break;
                case VectorStep::Flow:
                    scan.Reset();
                    break;
                case VectorStep::Neutral:
                    break;
                case VectorStep::Other:
                    scan.Forget();
                    break;
            }
            at += length;
        }
    }
    return found;
}

bool AddRoutines(RunState& state, const Picture& picture, const std::vector<int64_t>& routines) {
    const ImageMap& map = state.image;
    bool added = false;
    for (int64_t routine : routines) {
        const int region = RegionInPicture(map, picture, routine);
        if (region < 0 || map.regions[static_cast<size_t>(region)].kind != RegionKind::Code)
            continue;
        if (InfoAt(state, routine).isEntry == 1 && TestBit(state.codeRefMap, routine)) continue;
        // An entry point with a label. Its code mark stays as the passes left it: an instruction
        // at an entry point is taken whole when all its bytes agree, and these may be data now.
        SetIsEntry(state, routine, 1);
        SetBit(state.referencedMap, routine);
        SetBit(state.codeRefMap, routine);
        added = true;
    }
    return added;
}
