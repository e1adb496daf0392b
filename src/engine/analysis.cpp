#include "engine/analysis.h"

#include <algorithm>
#include <array>
#include <memory>
#include <string_view>

#include "core/address_table.h"
#include "core/layer_tables.h"
#include "engine/layer_setup.h"
#include "engine/pass_replay.h"
#include "engine/past_top.h"
#include "engine/picture_analysis.h"
#include "engine/step_decoding.h"
#include "engine/text_helpers.h"
#include "files/console.h"

namespace {

constexpr int64_t kLastMarkable = 0xFFFE;  // an undefined opcode never marks $FFFF
constexpr int kWholePassesFirst = 3;

struct PassState {
    // End (exclusive) of the data marked by the last undefined opcode of this pass. Within a pass
    // the addresses ahead only turn from code to data and gain entry points, so a later marking
    // that starts before this end has nothing left to change.
    int64_t markedEnd = -1;
};

// An undefined opcode: the bytes from here up to the next entry point are data.
void MarkDataForward(RunState& state, PassState& pass) {
    int64_t a = std::max<int64_t>(state.currentAddress, 0);
    if (a < pass.markedEnd) return;
    // A chunk of the table at a time, set up and then walked directly.
    AddressInfo* const info = state.addressInfo.data();
    while (a <= kLastMarkable) {
        if (!IsPrepared(state, a)) PrepareChunk(state, a);
        const int64_t chunkEnd = std::min((a | (kTableChunk - 1)) + 1, kLastMarkable + 1);
        while (a < chunkEnd && info[a].isEntry == 0) {
            info[a].isCode = 0;
            ++a;
        }
        if (a < chunkEnd) break;  // an entry point
    }
    pass.markedEnd = a;
}

// The three tests that keep a decoded instruction from being code.
bool IsAccepted(const RunState& state, int length) {
    const int64_t at = state.currentAddress;
    if (at >= 1 && at + length <= kAddressCount) {  // all within the table
        const AddressInfo* info = &state.addressInfo[static_cast<size_t>(at)];
        for (int i = 0; i < length; ++i) {
            if (info[i].isCode != state.firstByteClass) return false;
        }
        for (int i = 1; i < length; ++i) {
            if (info[i].isEntry == 1) return false;
        }
        return info[0].isEntry == 1 || info[-1].isCode != 0;
    }
    for (int i = 0; i < length; ++i) {
        if (InfoAt(state, at + i).isCode != state.firstByteClass) return false;
    }
    for (int i = 1; i < length; ++i) {
        if (InfoAt(state, at + i).isEntry == 1) return false;
    }
    return InfoAt(state, at).isEntry == 1 || InfoAt(state, at - 1).isCode != 0;
}

// Makes a jump or branch target an entry point; asks for another pass when it lies behind in
// bytes taken for data that no accepted instruction has named yet.
void NoteTarget(RunState& state, int64_t target) {
    // A target outside the address space has no record; it can neither become an entry point
    // nor ask for another pass (no later pass could ever settle it).
    if (!InAddressSpace(target)) return;
    SetIsEntry(state, target, 1);
    if (!TestBit(state.codeRefMap, target) && target < state.currentAddress &&
        InfoAt(state, target).isCode == 0) {
        state.passAgain = 1;
    }
}

void Accept(RunState& state, const Decoded& d) {
    if (d.isFlow) NoteTarget(state, d.target);
    if (state.currentAddress >= 0 && state.currentAddress + d.length <= kAddressCount) {
        AddressInfo* info = &state.addressInfo[static_cast<size_t>(state.currentAddress)];
        for (int i = 0; i < d.length; ++i) info[i].isCode = 1;
    } else {
        for (int i = 0; i < d.length; ++i) SetIsCode(state, state.currentAddress + i, 1);
    }
    if (d.hasOperand) SetBit(state.codeRefMap, d.operand);
    state.currentAddress += d.length;
}

// Where a pass reads the image: the file, a byte at a time...
struct FileSource {
    RunState& state;
    const OpcodeShapes* shapes;  // none: every instruction through its text
    int64_t end = 0;             // the file offset after the region

    void Start(const Region& region) {
        state.sourceFile.Seek(region.fileOffset);
        end = EndOffset(region);
    }
    bool AtEnd() const { return state.sourceFile.Position() >= end || state.sourceFile.AtEnd(); }
    uint8_t Next() { return state.sourceFile.ReadByte(); }
    Decoded Decode() { return DecodeStep(state, shapes); }
    int64_t Position() const { return state.sourceFile.Position(); }
    void Seek(int64_t position) { state.sourceFile.Seek(position); }
};

// Returns false when the rejection ends the walk of the region.
template <typename Source>
bool Reject(RunState& state, const Decoded& d, Source& source) {
    if (d.hasOperand) {
        if (!TestBit(state.codeRefMap, d.operand)) ClearBit(state.referencedMap, d.operand);
        ClearBit(state.referencedMap, state.currentAddress);
    }
    const int64_t position = source.Position();
    if (position + d.length >= EndOffset(CurrentRegion(state))) return false;
    source.Seek(position - (d.length - 1));
    SetIsCode(state, state.currentAddress, 0);
    state.instructionLength = 1;
    state.currentAddress += 1;
    return true;
}

// Applies the byte rule to currentByte; returns false when the walk of the region ends here.
template <typename Source>
bool ApplyByteRule(RunState& state, PassState& pass, Source& source) {
    if (state.mnemonicTable[state.currentByte].empty()) {
        MarkDataForward(state, pass);
        state.currentAddress += 1;
        return true;
    }
    const Decoded d = source.Decode();
    if (d.recorded) SetBit(state.referencedMap, d.recordedValue);
    state.firstByteClass = InfoAt(state, state.currentAddress).isCode;
    state.acceptInstruction = IsAccepted(state, d.length) ? 1 : 0;
    if (state.acceptInstruction == 1) {
        Accept(state, d);
        return true;
    }
    return Reject(state, d, source);
}

// The layer's regions in the order the passes walk them, and what a pass does past $FFFF.
struct Walk {
    std::vector<int> regions;
    bool startsAreEntries = true;  // the first byte of every region is an entry point
    int topRegion = -1;            // the region that runs past $FFFF, if one does
    PastTop top;
};

// Walks the region from the current address on; returns false when the walk ended early.
template <typename Source>
void WalkRegion(RunState& state, PassState& pass, Source& source, const PastTop* top) {
    while (!source.AtEnd()) {
        if (top && top->present && state.currentAddress >= top->from) {
            ApplyPastTop(state, *top);
            return;
        }
        state.currentByte = source.Next();
        if (!ApplyByteRule(state, pass, source)) return;
    }
}

// One pass: the regions in rising address order, each from its first byte; the first byte of
// every region is an entry point.
template <typename Source>
void RunPass(RunState& state, Source& source, const Walk& walk) {
    state.phase = 1;
    state.dataColumn = 0;
    if (walk.startsAreEntries) {
        for (int index : walk.regions) SetIsEntry(state, state.image.regions[index].address, 1);
    }
    state.passAgain = 0;
    PassState pass;
    for (int index : walk.regions) {
        const Region& region = state.image.regions[index];
        state.currentRegion = index;
        source.Start(region);
        state.currentAddress = region.address;
        WalkRegion(state, pass, source, index == walk.topRegion ? &walk.top : nullptr);
    }
    ++state.passCount;
    ConsoleWrite(state.console, ".");
}

// Whole passes while another is asked for, up to the given number.
template <typename Source>
void RunWholePasses(RunState& state, Source& source, const Walk& walk, int64_t limit) {
    for (int64_t pass = 0; state.passAgain == 1 && pass < limit; ++pass) {
        RunPass(state, source, walk);
    }
}

// What the walk in memory needs of an opcode, in a few bytes: how its operand value is read,
// and the facts its text gives. Every defined opcode is read the same way, so that the walk
// decides with few branches.
struct StepRule {
    bool defined = false;
    bool fixed = false;     // no operand: the facts are those of its text
    bool relative = false;  // a branch: the value is the address after it plus a signed offset
    uint8_t length = 1;
    uint16_t lowMask = 0;   // else the value is (second byte & lowMask) | (third byte << 8 &
    uint16_t highMask = 0;  // highMask)
    bool hasOperand = false;
    bool flow = false;
    bool forcedWhenSmall = false;
    int64_t fixedOperand = 0;
    int64_t fixedTarget = 0;
};

using StepRules = std::array<StepRule, 256>;

StepRules RulesOfShapes(const OpcodeShapes& shapes) {
    StepRules rules;
    for (size_t op = 0; op < shapes.size(); ++op) {
        const OpcodeShape& shape = shapes[op];
        StepRule& r = rules[op];
        if (shape.kind == OpcodeShape::Fixed) {
            r.defined = r.fixed = true;
            r.length = static_cast<uint8_t>(shape.fixed.length);
            r.hasOperand = shape.fixed.hasOperand;
            r.flow = shape.fixed.isFlow;
            r.fixedOperand = shape.fixed.operand;
            r.fixedTarget = shape.fixed.target;
        } else if (shape.kind == OpcodeShape::WithOperand) {
            r.defined = true;
            r.length = shape.length;
            r.relative = shape.placeholder == 'L';
            r.lowMask = 0xFF;
            r.highMask = shape.length == 3 ? 0xFF00 : 0;
            r.hasOperand = shape.blankBeforeOperand;
            r.flow = shape.flowMnemonic;
            r.forcedWhenSmall = shape.forcedWhenSmall;
        }
    }
    return rules;
}

// The region's bytes, followed by two zero bytes: an operand cut by the end of the region reads
// them as the missing bytes read as zero.
struct PaddedImage {
    ImageBytes bytes;  // size + 2
    size_t size = 0;
};

// What a step of the walk in memory reads from its bytes: the operand value (within
// $0000-$FFFF; 0 for a fixed text), whether it is recorded in referencedMap, the operand the
// instruction names (if it names one) and whether it is a jump or branch. Meaningful for a
// defined opcode only.
struct StepFacts {
    int64_t value;
    int64_t operand;
    bool recorded;
    bool hasOperand;
    bool isFlow;
};

inline StepFacts FactsOfStep(const StepRule& r, const uint8_t* bytes, size_t at, size_t size,
                             int64_t address, bool mnemonicsOff) {
    const int length = r.length;
    const unsigned b1 = bytes[at + 1];
    const unsigned b2 = bytes[at + 2];
    StepFacts f;
    f.value = r.relative ? (address + static_cast<int8_t>(b1) + length) & 0xFFFF
                         : static_cast<int64_t>((b1 & r.lowMask) | ((b2 << 8) & r.highMask));
    const bool cut = at + static_cast<size_t>(length) > size;
    // Cut, or with mnemonics off, the text is a dta line: its number is the opcode.
    const bool asData = (cut | mnemonicsOff) & !r.fixed;
    f.recorded = !r.fixed & !cut & IsRecordedValue(f.value);
    f.hasOperand = asData | r.hasOperand;
    f.operand = asData ? bytes[at] : r.fixed ? r.fixedOperand : f.value;
    f.isFlow = !asData & r.flow & !(r.forcedWhenSmall & (f.value < 0x100));
    return f;
}

// An accepted instruction in a traced pass: its step, and the operand address it names first.
void NoteAccepted(PassTrace& trace, const RunState& state, int64_t address, bool hasOperand,
                  int64_t operand) {
    trace.Step(address, true);
    if (hasOperand && !TestBit(state.codeRefMap, operand)) {
        trace.newCodeRefs.push_back(static_cast<uint16_t>(operand));
    }
}

// Applies the byte rule to the region's bytes from its first one, as ApplyByteRule does, with the
// position, the step's facts and the tables in local hands: the common case of a whole pass.
// Where the instruction and the byte before it lie within the table, its facts are worked out
// with few branches, so that data, where they go either way, costs little more than code.
// kTraced: the steps go to the trace (never null then).
template <bool kTraced>
void WalkBytesInMemory(RunState& state, PassState& pass, const StepRules& rules,
                       const PaddedImage& image, int64_t address, PassTrace* trace) {
    AddressInfo* const info = state.addressInfo.data();
    uint8_t* const referenced = state.referencedMap.data();
    uint8_t* const codeRefs = state.codeRefMap.data();
    const bool mnemonicsOff = state.mnemonicsOff == 1;
    const uint8_t* const bytes = image.bytes.data();
    const size_t size = image.size;
    size_t at = 0;
    uint8_t byte = state.currentByte;
    while (at < size) {
        if (address >= 1 && address < pass.markedEnd) {
            // Data marked forward in this pass, up to the next entry point: nothing in it can be
            // accepted (no entry point, the byte before is data) and no step in it changes the
            // table, so only referencedMap (and the trace) take the steps, and no branch depends
            // on whether a byte is an instruction.
            const int64_t stretchEnd = pass.markedEnd;
            bool ended = false;
            for (; at < size && address < stretchEnd; ++at, ++address) {
                byte = bytes[at];
                const StepRule& r = rules[byte];
                const StepFacts f = FactsOfStep(r, bytes, at, size, address, mnemonicsOff);
                if (kTraced) trace->Step(address, false);
                const bool recorded = r.defined & f.recorded;
                const bool hasOperand = r.defined & f.hasOperand;
                referenced[f.value >> 3] |=
                    static_cast<uint8_t>(recorded ? bitMasks[f.value & 7] : 0);
                const bool inSpace = InAddressSpace(f.operand);
                const int64_t bit = inSpace ? f.operand : 0;
                const uint8_t operandMask = inSpace ? bitMasks[bit & 7] : 0;
                const bool unnamed = (codeRefs[bit >> 3] & operandMask) == 0;
                referenced[bit >> 3] &=
                    static_cast<uint8_t>(~((hasOperand & unnamed) ? operandMask : 0));
                referenced[address >> 3] &=
                    static_cast<uint8_t>(~(hasOperand ? bitMasks[address & 7] : 0));
                const size_t length = r.length;
                if (r.defined && std::min(at + length, size) + length >= size) {
                    ended = true;
                    break;
                }
            }
            if (ended) {
                if (kTraced) {
                    trace->ended = true;
                    trace->lastStep = address;
                }
                break;
            }
            continue;
        }
        byte = bytes[at];
        const StepRule& r = rules[byte];
        if (!r.defined) {
            if (kTraced) trace->Step(address, false);
            if (std::max<int64_t>(address, 0) >= pass.markedEnd) {
                state.currentAddress = address;
                MarkDataForward(state, pass);
            }
            ++address;
            ++at;
            continue;
        }
        const int length = r.length;
        const StepFacts f = FactsOfStep(r, bytes, at, size, address, mnemonicsOff);
        const int64_t value = f.value;
        const bool hasOperand = f.hasOperand;
        const int64_t operand = f.operand;
        const bool isFlow = f.isFlow;
        const int64_t target = r.fixed ? r.fixedTarget : value;
        referenced[value >> 3] |= static_cast<uint8_t>(f.recorded ? bitMasks[value & 7] : 0);
        if (address >= 1 && address + 3 <= kAddressCount) {  // all within the table
            AddressInfo* const p = info + address;
            const uint8_t firstClass = p[0].isCode;
            bool accepted = (p[0].isEntry == 1) | (p[-1].isCode != 0);
            accepted &= (length < 2) | ((p[1].isCode == firstClass) & (p[1].isEntry != 1));
            accepted &= (length < 3) | ((p[2].isCode == firstClass) & (p[2].isEntry != 1));
            if (kTraced) {
                if (accepted) {
                    NoteAccepted(*trace, state, address, hasOperand, operand);
                } else {
                    trace->Step(address, false);
                }
            }
            if (accepted & isFlow) {
                state.currentAddress = address;
                NoteTarget(state, target);
            }
            // The operand's bit: named by an accepted instruction; else, with the instruction's
            // own, no longer seen unless an accepted instruction named it.
            const bool inSpace = InAddressSpace(operand);
            const int64_t bit = inSpace ? operand : 0;
            const uint8_t operandMask = inSpace ? bitMasks[bit & 7] : 0;
            codeRefs[bit >> 3] |= static_cast<uint8_t>((accepted & hasOperand) ? operandMask : 0);
            const bool unnamed = (codeRefs[bit >> 3] & operandMask) == 0;
            const bool clears = !accepted & hasOperand;
            referenced[bit >> 3] &= static_cast<uint8_t>(~((clears & unnamed) ? operandMask : 0));
            referenced[address >> 3] &= static_cast<uint8_t>(~(clears ? bitMasks[address & 7] : 0));
            // The walk ends where the bytes after this instruction could not hold another one.
            if (!accepted && std::min(at + static_cast<size_t>(length), size) + length >= size) {
                if (kTraced) {
                    trace->ended = true;
                    trace->lastStep = address;
                }
                break;
            }
            // An accepted instruction's bytes are code; a rejected one's first byte is data.
            p[0].isCode = accepted;
            p[1].isCode = (accepted & (length >= 2)) ? 1 : p[1].isCode;
            p[2].isCode = (accepted & (length >= 3)) ? 1 : p[2].isCode;
            const int step = accepted ? length : 1;
            address += step;
            at += static_cast<size_t>(step);
            continue;
        }
        Decoded d;
        d.length = length;
        d.hasOperand = hasOperand;
        d.operand = operand;
        d.isFlow = isFlow;
        d.target = target;
        state.currentAddress = address;
        state.firstByteClass = InfoAt(state, address).isCode;
        if (IsAccepted(state, length)) {
            if (kTraced) NoteAccepted(*trace, state, address, hasOperand, operand);
            Accept(state, d);
            address += length;
            at += static_cast<size_t>(length);
            continue;
        }
        if (kTraced) trace->Step(address, false);
        if (hasOperand) {
            if (!TestBit(state.codeRefMap, operand)) ClearBit(state.referencedMap, operand);
            ClearBit(state.referencedMap, address);
        }
        if (std::min(at + static_cast<size_t>(length), size) + length >= size) {
            if (kTraced) {
                trace->ended = true;
                trace->lastStep = address;
            }
            break;
        }
        SetIsCode(state, address, 0);
        ++address;
        ++at;
    }
    state.currentByte = byte;
    state.currentAddress = address;
}

// A whole pass over regions held in memory (images[i] holds the bytes of walk.regions[i]); the
// same steps as a pass that reads the file.
void RunPassInMemory(RunState& state, const StepRules& rules, const Walk& walk,
                     const std::vector<PaddedImage>& images, PassTrace* trace) {
    state.phase = 1;
    state.dataColumn = 0;
    if (walk.startsAreEntries) {
        for (int index : walk.regions) SetIsEntry(state, state.image.regions[index].address, 1);
    }
    state.passAgain = 0;
    PassState pass;
    for (size_t r = 0; r < walk.regions.size(); ++r) {
        state.currentRegion = walk.regions[r];
        const int64_t first = state.image.regions[static_cast<size_t>(walk.regions[r])].address;
        state.currentAddress = first;
        if (trace) {
            WalkBytesInMemory<true>(state, pass, rules, images[r], first, trace);
        } else {
            WalkBytesInMemory<false>(state, pass, rules, images[r], first, nullptr);
        }
    }
    ++state.passCount;
    ConsoleWrite(state.console, ".");
}

// The region's bytes.
PaddedImage ReadImage(RunState& state, const Region& region) {
    PaddedImage image;
    image.size = static_cast<size_t>(region.length);
    image.bytes.assign(image.size + 2, 0);
    state.sourceFile.Seek(region.fileOffset);
    state.sourceFile.ReadBytes(image.bytes.data(), image.size);
    return image;
}

// Sets up the address table around the regions: the passes read and write it there directly,
// from the address before a region to two after it (an instruction cut by the region's end).
void PrepareRegions(RunState& state, const std::vector<int>& regions) {
    for (int index : regions) {
        const Region& region = state.image.regions[static_cast<size_t>(index)];
        PrepareAddresses(state, region.address - 1, EndAddress(region) + 2);
    }
}

// The walk of the Code regions (by address), and the study of what lies past $FFFF.
Walk WalkOfRegions(RunState& state, const OpcodeShapes& shapes, std::vector<int> regions,
                   bool startsAreEntries) {
    Walk walk;
    walk.regions = std::move(regions);
    walk.startsAreEntries = startsAreEntries;
    for (int index : walk.regions) {
        if (EndAddress(state.image.regions[index]) <= kAddressCount) continue;
        state.currentRegion = index;
        walk.topRegion = index;
        walk.top = StudyPastTop(state, shapes);
    }
    return walk;
}

// The passes over one layer. Most images settle within a few passes, and a whole pass is
// cheapest then. A single region that keeps asking for passes goes on with passes that replay
// the one before. Regions that fit the address space are read once and decoded from memory,
// unless some pattern needs its text to be decoded.
void AnalyseLayer(RunState& state, const OpcodeShapes& shapes, const Walk& walk) {
    PrepareRegions(state, walk.regions);
    state.passAgain = 1;
    const PastTop* top = walk.topRegion >= 0 ? &walk.top : nullptr;
    if (walk.regions.size() == 1) state.currentRegion = walk.regions[0];
    // The replayed passes read the byte before the region's first one unless that is an entry
    // point: there must be one.
    const bool replay = walk.regions.size() == 1 &&
                        (walk.startsAreEntries || CurrentRegion(state).address > 0) &&
                        CanReplayPasses(state, top);
    const int64_t limit = replay ? kWholePassesFirst : INT64_MAX;
    if (!HasTextShapes(shapes) && !top) {
        std::vector<PaddedImage> images;
        const StepRules rules = RulesOfShapes(shapes);
        for (int index : walk.regions) {
            images.push_back(ReadImage(state, state.image.regions[static_cast<size_t>(index)]));
        }
        // The last whole pass before the replayed ones is traced for them.
        std::unique_ptr<PassTrace> trace;
        for (int64_t pass = 0; state.passAgain == 1 && pass < limit; ++pass) {
            if (replay && pass == limit - 1) {
                trace = std::make_unique<PassTrace>();
                StartPassTrace(state, *trace);
            }
            RunPassInMemory(state, rules, walk, images, trace.get());
        }
        if (walk.regions.size() == 1) state.currentRegion = walk.regions[0];
        if (replay && state.passAgain == 1) {
            RunReplayedPasses(state, shapes, top, trace.get(), walk.startsAreEntries);
        }
        return;
    }
    FileSource source{state, &shapes};
    RunWholePasses(state, source, walk, limit);
    if (replay && state.passAgain == 1) {
        RunReplayedPasses(state, shapes, top, nullptr, walk.startsAreEntries);
    }
}

}  // namespace

void AnalyseRegions(RunState& state, const OpcodeShapes& shapes, const std::vector<int>& regions,
                    bool startsAreEntries, bool byText) {
    const Walk walk = WalkOfRegions(state, shapes, regions, startsAreEntries);
    if (!byText) {
        AnalyseLayer(state, shapes, walk);
        return;
    }
    PrepareRegions(state, walk.regions);
    FileSource source{state, nullptr};
    state.passAgain = 1;
    RunWholePasses(state, source, walk, INT64_MAX);
}

void RunAnalysis(RunState& state) {
    const OpcodeShapes shapes = ShapesOfTable(state);
    if (!state.image.pictures.empty()) {
        AnalysePictures(state, shapes, false);
        state.sourceFile.Close();
        return;
    }
    for (int layer = 0; layer < state.image.layerCount; ++layer) {
        PrepareLayer(state, layer);
        AnalyseLayer(state, shapes,
                     WalkOfRegions(state, shapes, CodeRegionsByAddress(state.image, layer), true));
        KeepLayer(state, layer);
    }
    state.sourceFile.Close();
}

void FinishPassPastTop(RunState& state, const PastTop& top, int64_t next) {
    FileSource source{state, nullptr};
    source.Start(CurrentRegion(state));
    state.sourceFile.Seek(FileOffsetOf(CurrentRegion(state), next));
    state.currentAddress = next;
    PassState pass;
    WalkRegion(state, pass, source, &top);
}

void RunAnalysisByText(RunState& state) {
    if (!state.image.pictures.empty()) {
        AnalysePictures(state, ShapesOfTable(state), true);
        state.sourceFile.Close();
        return;
    }
    for (int layer = 0; layer < state.image.layerCount; ++layer) {
        PrepareLayer(state, layer);
        Walk walk;
        walk.regions = CodeRegionsByAddress(state.image, layer);
        PrepareRegions(state, walk.regions);
        FileSource source{state, nullptr};
        state.passAgain = 1;
        RunWholePasses(state, source, walk, INT64_MAX);
        KeepLayer(state, layer);
    }
    state.sourceFile.Close();
}

bool OperandNumber(const std::string& text, int64_t& number) {
    size_t at = text.find(" $");
    if (at == std::string::npos) return false;
    std::string_view rest = std::string_view(text).substr(at);
    number = ParseNumber(rest.substr(0, rest.find(',')));
    return true;
}

void NoteFlowTarget(RunState& state, const std::string& text) {
    int64_t target;
    if (FlowTarget(text, target)) NoteTarget(state, target);
}
