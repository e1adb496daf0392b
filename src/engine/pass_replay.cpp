#include "engine/pass_replay.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "core/address_table.h"
#include "engine/address_sets.h"
#include "engine/analysis.h"
#include "engine/past_top.h"
#include "files/console.h"

// How a pass is replayed.
//
// A pass is a walk of steps at rising addresses: an undefined opcode (data up to the next entry
// point), an accepted instruction, or a rejected one. Which of these happens at an address depends
// on the code/data state of the instruction's bytes and of the byte before it, on the entry points
// among them and, for an undefined opcode, on where the next entry point lies. What an instruction
// at an address decodes to never changes, so it is worked out once (StepFacts).
//
// The steps of the last pass are kept (the trace). A step of the new pass at the same address sees
// the same as it saw in the last pass unless one of the cells it reads is "changed": its code/data
// state differs between the last two passes' results or has been rewritten in this pass, or it is
// an entry point that the last pass did not start with. Steps that read no changed cell repeat
// themselves, and so do their writes; the walk steps over them to the next step that must be
// decided. The cells they would write already hold what they would write, because the last pass
// wrote the same, and a stretch an undefined opcode marks as data stays data until the walk leaves
// it.
//
// Operand references cannot be left in place that way: a bit of referencedMap ends as the last pass
// that wrote it left it, and within a pass the last write wins. They are therefore worked out from
// the trace at the end of each pass, for the addresses whose writers may have changed: each address
// has a fixed list of the instructions that can write its bit.

namespace {

constexpr int64_t kLastMarkable = 0xFFFE;  // an undefined opcode never marks $FFFF

// The lowest bit of the three bytes 0, 3 and 6 of the value, as its bits 0, 1 and 2: one
// multiplication moves them next to each other at the top.
inline uint64_t EveryThirdByte(uint64_t value) {
    constexpr uint64_t kBytes = 0x0001000001000001ull;
    constexpr uint64_t kGather = (uint64_t{1} << 61) | (uint64_t{1} << 38) | (uint64_t{1} << 15);
    return ((value & kBytes) * kGather) >> 61;
}

// The code marks and entry points of the address table (each 0 or 1), a bit per address, 64 to a
// word: eight cells (24 bytes) at a time. A chunk of the table not set up yet holds its start
// values, which are not read from memory.
void PackTable(const RunState& state, uint64_t* code, uint64_t* entry) {
    static_assert(sizeof(AddressInfo) == 3, "three bytes a cell: code mark, entry point, kind");
    const char* bytes = reinterpret_cast<const char*>(state.addressInfo.data());
    for (int i = 0; i < kWords; ++i) {
        if (!IsPrepared(state, int64_t{i} * 64)) {
            code[i] = i == kWords - 1 ? ~uint64_t{0} >> 1 : ~uint64_t{0};  // $FFFF is data
            entry[i] = 0;
            bytes += 64 * sizeof(AddressInfo);
            continue;
        }
        uint64_t codeWord = 0, entryWord = 0;
        for (int k = 0; k < 64; k += 8, bytes += 24) {
            uint64_t w[3];
            std::memcpy(w, bytes, sizeof w);
            // Cells 0-2 lie in w[0], 3-5 in w[1] from its second byte, 6-7 in w[2] from its third;
            // each cell's entry point follows its code mark.
            const uint64_t c = EveryThirdByte(w[0]) | EveryThirdByte(w[1] >> 8) << 3 |
                               EveryThirdByte(w[2] >> 16) << 6;
            const uint64_t e = EveryThirdByte(w[0] >> 8) | EveryThirdByte(w[1] >> 16) << 3 |
                               EveryThirdByte(w[2]) << 5;
            codeWord |= c << k;
            entryWord |= e << k;
        }
        code[i] = codeWord;
        entry[i] = entryWord;
    }
}

// What the instruction at one address is, whenever a pass decodes it. Eight bytes, as there is
// one for every address of the region: the addresses it names are kept only where they lie
// within $0000-$FFFF (one outside touches no table), which its flags tell.
struct StepFacts {
    enum Flag : uint8_t {
        Undefined = 1,
        HasOperand = 2,      // its text has an operand number
        Flow = 4,            // a followed jump or branch, its target within the address space
        Recorded = 8,        // decoding it records its operand value, one within the space
        EndsPass = 16,       // rejecting it ends the pass
        AlwaysDecide = 32,   // a jump whose target is not its operand number: never stepped over
        OperandInSpace = 64  // with HasOperand: the operand number lies within the space
    };
    uint8_t flags = 0;
    uint8_t length = 1;
    uint16_t operand = 0;
    uint16_t target = 0;
    uint16_t recordedValue = 0;

    bool Has(Flag flag) const { return (flags & flag) != 0; }
};
static_assert(sizeof(StepFacts) == 8, "one for every address of a region");

class Replay {
  public:
    Replay(RunState& state, const OpcodeShapes& shapes, const PastTop* top, const PassTrace* trace,
           bool firstIsEntry)
        : state_(state),
          region_(CurrentRegion(state)),
          firstIsEntry_(firstIsEntry),
          first_(region_.address),
          end_(std::min(EndAddress(region_), kAddressCount)),
          top_(top) {
        PrepareAddresses(state, 0, kAddressCount);  // the passes write the whole table back
        TakeTable(state, code_, entry_);
        codeBefore_ = code_;
        codeTwoBefore_ = code_;
        entryAtStart_ = entry_;
        entryBefore_ = entry_;
        DecodeImage(shapes);
        IndexWriters();
        if (trace) TakeTrace(*trace);
    }

    void RunPasses() {
        while (state_.passAgain == 1) RunPass();
        for (int64_t a = 0; a < kAddressCount; ++a) {
            state_.addressInfo[a].isCode = code_.Test(a) ? 1 : 0;
            state_.addressInfo[a].isEntry = entry_.Test(a) ? 1 : 0;
        }
    }

  private:
    // The code marks and entry points of an address table.
    static void TakeTable(const RunState& state, AddressBits& code, AddressBits& entry) {
        PackTable(state, code.words.data(), entry.words.data());
        for (int i = 0; i < kWords; ++i) {
            code.Resummarize(i);
            entry.Resummarize(i);
        }
    }

    // The whole pass just run becomes the last pass, as if it had been replayed: its steps, the
    // code marks and entry points as it began, and the words in which they differ from now.
    void TakeTrace(const PassTrace& trace) {
        codeTwoBefore_.Assign(trace.codeBefore.data());
        entryBefore_.Assign(trace.entryBefore.data());
        steps_.Assign(trace.steps.data());
        accepted_.Assign(trace.accepted.data());
        for (int i = 0; i < kWords; ++i) {
            if (codeBefore_.words[i] != codeTwoBefore_.words[i]) codeWords_.Mark(int64_t{i} << 6);
            if (entryAtStart_.words[i] != entryBefore_.words[i]) {
                entryWords_.Mark(int64_t{i} << 6);
            }
        }
        codeWords_.NextPass();
        entryWords_.NextPass();
        for (uint16_t bit : trace.newCodeRefs) codeRefsLastPass_.push_back(bit);
        lastStep_ = trace.ended ? trace.lastStep : PreviousSet(steps_, end_, first_);
        haveTrace_ = true;
    }

    const StepFacts& FactsAt(int64_t a) const { return facts_[static_cast<size_t>(a - first_)]; }

    // What each address decodes to: from the region's bytes in memory, or through the file and
    // the text for the patterns whose text decides. The bytes reach two past the walk, for the
    // operands of the last instructions; the end of the region is the end of the bytes.
    void DecodeImage(const OpcodeShapes& shapes) {
        facts_.resize(static_cast<size_t>(end_ - first_));
        ImageBytes bytes(static_cast<size_t>(std::min(region_.length, end_ - first_ + 2)));
        state_.sourceFile.Seek(region_.fileOffset);
        state_.sourceFile.ReadBytes(bytes.data(), bytes.size());
        for (int64_t a = first_; a < end_; ++a) {
            const size_t at = static_cast<size_t>(a - first_);
            state_.currentByte = bytes[at];
            state_.currentAddress = a;
            StepFacts& f = facts_[at];
            if (state_.mnemonicTable[state_.currentByte].empty()) {
                f.flags = StepFacts::Undefined;
                continue;
            }
            const OpcodeShape& shape = shapes[state_.currentByte];
            Decoded d;
            int64_t position;  // the file position after the opcode and the operand bytes read
            if (shape.kind == OpcodeShape::ByText) {
                state_.sourceFile.Seek(FileOffsetOf(region_, a) + 1);
                d = DecodeStep(state_, &shapes);
                position = state_.sourceFile.Position();
            } else {
                d = DecodeInImage(state_.mnemonicsOff == 1, shape, bytes.data(), bytes.size(), at,
                                  a);
                position = region_.fileOffset +
                           static_cast<int64_t>(std::min(at + d.length, bytes.size()));
            }
            f.length = static_cast<uint8_t>(d.length);
            if (d.hasOperand) {
                f.flags |= StepFacts::HasOperand;
                if (InAddressSpace(d.operand)) {
                    f.flags |= StepFacts::OperandInSpace;
                    f.operand = static_cast<uint16_t>(d.operand);
                }
            }
            if (d.isFlow) {
                if (InAddressSpace(d.target)) {
                    f.flags |= StepFacts::Flow;
                    f.target = static_cast<uint16_t>(d.target);
                }
                if (!d.hasOperand || d.operand != d.target) {
                    f.flags |= StepFacts::AlwaysDecide;
                    alwaysDecide_.Set(a);
                }
            }
            if (d.recorded && InAddressSpace(d.recordedValue)) {
                f.flags |= StepFacts::Recorded;
                f.recordedValue = static_cast<uint16_t>(d.recordedValue);
            }
            if (position + d.length >= EndOffset(region_)) f.flags |= StepFacts::EndsPass;
        }
    }

    // The referencedMap bits an instruction can write: its recorded value, its operand number,
    // and its own address (a rejected instruction with an operand number clears it).
    template <typename Visit>
    void ForEachWrittenBit(int64_t a, Visit visit) const {
        const StepFacts& f = FactsAt(a);
        const int32_t own = f.Has(StepFacts::HasOperand) ? static_cast<int32_t>(a) : -1;
        const int32_t recorded = f.Has(StepFacts::Recorded) ? f.recordedValue : -1;
        const int32_t operand = f.Has(StepFacts::OperandInSpace) ? f.operand : -1;
        if (recorded >= 0) visit(recorded);
        if (operand >= 0 && operand != recorded) visit(operand);
        if (own >= 0 && own != recorded && own != operand) visit(own);
    }

    // For every address, the instructions that can write its bit, by rising address: those of
    // bit b are writers_[writerStart_[b]] up to writerStart_[b + 1]. Counted two places ahead,
    // so that placing them moves each start where it belongs.
    void IndexWriters() {
        writerStart_.assign(kAddressCount + 2, 0);
        for (int64_t a = first_; a < end_; ++a) {
            ForEachWrittenBit(a, [&](int32_t bit) { ++writerStart_[bit + 2]; });
        }
        for (int64_t i = 2; i <= kAddressCount; ++i) writerStart_[i + 1] += writerStart_[i];
        writers_.resize(writerStart_[kAddressCount + 1]);
        for (int64_t a = first_; a < end_; ++a) {
            ForEachWrittenBit(a, [&](int32_t bit) {
                writers_[writerStart_[bit + 1]++] = static_cast<uint16_t>(a);
            });
        }
    }

    void RunPass() {
        ++pass_;
        state_.phase = 1;
        state_.currentAddress = first_;
        state_.dataColumn = 0;
        if (firstIsEntry_) AddEntry(first_);
        state_.passAgain = 0;
        markedEnd_ = -1;

        int64_t a = first_;
        bool ended = false;
        while (a < end_) {
            if (haveTrace_ && a != lastStep_ && steps_.Test(a)) {
                const int64_t next = NextStepToDecide(a);
                if (next > a) {
                    a = next;
                    continue;
                }
            }
            if (!Decide(a)) {
                ended = true;
                break;
            }
        }
        if (ended) {
            for (int64_t s = NextSet(steps_, a + 1); s < end_; s = NextSet(steps_, s + 1))
                Retire(s);
            lastStep_ = a;
        } else {
            lastStep_ = PreviousSet(steps_, end_, first_);
        }
        state_.currentAddress = a;

        SettleReferences();
        if (top_) SettleAfterPastTopChange(ended ? -1 : PastTopWay(a));
        if (!ended && top_) {
            // Past $FFFF the byte rule reads the code mark of $FFFF, which the walk keeps here.
            state_.addressInfo[kLastAddress].isCode = code_.Test(kLastAddress) ? 1 : 0;
            FinishPassPastTop(state_, *top_, a);
        }
        // The snapshots move on by one pass; they differ only in the words the passes wrote.
        for (uint16_t i : codeWords_.lastPass.list) codeTwoBefore_.CopyWord(codeBefore_, i);
        for (uint16_t i : codeWords_.thisPass.list) codeBefore_.CopyWord(code_, i);
        for (uint16_t i : entryWords_.lastPass.list) entryBefore_.CopyWord(entryAtStart_, i);
        for (uint16_t i : entryWords_.thisPass.list) entryAtStart_.CopyWord(entry_, i);
        codeWords_.NextPass();
        entryWords_.NextPass();
        std::swap(codeRefsLastPass_, codeRefsThisPass_);
        codeRefsThisPass_.clear();
        haveTrace_ = true;
        ++state_.passCount;
        ConsoleWrite(state_.console, ".");
    }

    // The step at a (a step of the last pass that repeats itself) and the ones after it that are
    // sure to repeat themselves are stepped over; returns the step that must be decided next.
    int64_t NextStepToDecide(int64_t a) const {
        if (ReadsChange(a)) return a;  // the common answer at the moving front, worked out cheaply
        const int64_t changedCode =
            Changed(a - 1, codeWords_, [&](int i) { return CodeChange(i); });
        const int64_t newEntry = Changed(a, entryWords_, [&](int i) { return NewEntries(i); });
        // An instruction reads its own bytes (at most three) and the byte before them. An
        // undefined opcode reads the entry points up to the next one, but needs no check: entry
        // points only grow, so it now marks no further than in the last pass, and what it marked
        // then is data still (nothing after it in that pass could accept an instruction there).
        int64_t limit = std::min(changedCode, newEntry) - 2;
        limit = std::min(limit, NextSet(alwaysDecide_, a));
        if (limit <= a) return a;
        if (limit > lastStep_) return lastStep_;
        return NextSet(steps_, limit);
    }

    // The code marks of word i that differ between the last two passes' results or that this
    // pass has rewritten, and its entry points that the last pass did not start with. Neither
    // is ever set outside the words that this pass or the last one wrote.
    uint64_t CodeChange(int i) const {
        return (codeBefore_.words[i] ^ codeTwoBefore_.words[i]) |
               (code_.words[i] ^ codeBefore_.words[i]);
    }
    uint64_t NewEntries(int i) const { return entry_.words[i] & ~entryBefore_.words[i]; }

    // True when NextStepToDecide(a) is a itself: a changed code mark within the byte before a and
    // the three bytes from a, a new entry point within those three, or a jump at a that is always
    // decided.
    bool ReadsChange(int64_t a) const {
        const int64_t last = std::min<int64_t>(a + 2, kLastAddress);
        for (int64_t c = std::max<int64_t>(a - 1, 0); c <= last; ++c) {
            const int i = static_cast<int>(c >> 6);
            const uint64_t bit = uint64_t{1} << (c & 63);
            if ((CodeChange(i) & bit) != 0 || (c >= a && (NewEntries(i) & bit) != 0)) return true;
        }
        return alwaysDecide_.Test(a);
    }

    // Applies the byte rule at a; moves a on, or returns false when the pass ends at a.
    [[gnu::always_inline]] bool Decide(int64_t& a) {
        const StepFacts& f = FactsAt(a);
        if (f.Has(StepFacts::Undefined)) {
            Record(a, false);
            MarkDataForward(a);
            a += 1;
            return true;
        }
        const int length = f.length;
        const bool firstClass = code_.Test(a);
        bool accept = entry_.Test(a) || code_.Test(a - 1);
        for (int i = 0; i < length; ++i) accept = accept && code_.Test(a + i) == firstClass;
        for (int i = 1; i < length; ++i) accept = accept && !entry_.Test(a + i);
        if (!accept) {
            Record(a, false);
            if (f.Has(StepFacts::EndsPass)) return false;
            ClearCode(a);
            a += 1;
            return true;
        }
        if (f.Has(StepFacts::Flow)) {
            AddEntry(f.target);
            if (!TestBit(state_.codeRefMap, f.target) && f.target < a && !code_.Test(f.target)) {
                state_.passAgain = 1;
            }
        }
        for (int i = 0; i < length; ++i) SetCode(a + i);
        if (f.Has(StepFacts::OperandInSpace) && !TestBit(state_.codeRefMap, f.operand)) {
            SetBit(state_.codeRefMap, f.operand);
            codeRefPass_[f.operand] = pass_;
            codeRefStep_[f.operand] = static_cast<uint16_t>(a);
            codeRefsThisPass_.push_back(static_cast<uint16_t>(f.operand));
        }
        Record(a, true);
        for (int i = 1; i < length && a + i < end_; ++i) Retire(a + i);
        a += length;
        return true;
    }

    void MarkDataForward(int64_t a) {
        if (a < markedEnd_) return;
        const int64_t end = a > kLastMarkable ? a : std::min(NextSet(entry_, a), kLastMarkable + 1);
        code_.ClearRange(a, end, [&](int64_t w) { codeWords_.Mark(w); });
        markedEnd_ = end;
    }

    // The writes of the walk, noting the words they touch.
    void SetCode(int64_t a) {
        if (!InAddressSpace(a) || code_.Test(a)) return;
        code_.Set(a);
        codeWords_.Mark(a);
    }
    void ClearCode(int64_t a) {
        if (!code_.Test(a)) return;
        code_.Clear(a);
        codeWords_.Mark(a);
    }
    void AddEntry(int64_t a) {
        if (!InAddressSpace(a) || entry_.Test(a)) return;
        entry_.Set(a);
        entryWords_.Mark(a);
    }

    // The first address at or after from whose bit is set in the words that wordAt gives, looking
    // only at the words that the last pass or this one wrote; kNone if there is none.
    template <typename WordAt>
    static int64_t Changed(int64_t from, const WrittenWords& written, WordAt wordAt) {
        const int64_t found = NextSetBit(from, written.either, wordAt);
        return found < 0 ? kNone : found;
    }

    // The trace: a step decided at a, or a step of the last pass that this one does not take.
    [[gnu::always_inline]] void Record(int64_t a, bool accepted) {
        if (steps_.Test(a) && accepted_.Test(a) == accepted) return;  // the step repeats itself
        Touch(a);
        steps_.Set(a);
        if (accepted) {
            accepted_.Set(a);
        } else {
            accepted_.Clear(a);
        }
    }
    void Retire(int64_t a) {
        if (!steps_.Test(a)) return;
        Touch(a);
        steps_.Clear(a);
        accepted_.Clear(a);
    }
    void Touch(int64_t a) {
        ForEachWrittenBit(a, [&](int32_t bit) {
            if (touched_.Test(bit)) return;
            touched_.Set(bit);
            touchedList_.push_back(static_cast<uint16_t>(bit));
        });
    }

    // Brings referencedMap to what the passes so far leave in it, for every bit whose writers in
    // this pass may differ from those of the last.
    void SettleReferences() {
        for (uint16_t bit : touchedList_) {
            Settle(bit);
            touched_.Clear(bit);
        }
        touchedList_.clear();
        // A new codeRefMap bit changes whether rejected instructions clear the referencedMap bit.
        for (uint16_t bit : codeRefsThisPass_) Settle(bit);
        for (uint16_t bit : codeRefsLastPass_) Settle(bit);
    }

    // Which steps a pass takes past $FFFF, and whether it goes on to top_->from, follows from
    // where its walk leaves $FFFF and, when that is at $10000, from the code mark of $FFFF.
    int64_t PastTopWay(int64_t a) const {
        return a * 2 + (a == kAddressCount && code_.Test(kLastAddress) ? 1 : 0);
    }

    // The writes a pass makes past $FFFF come after all of the region's. When they are not
    // those of the last pass, a bit that the last pass's wrote no longer holds what its last
    // writer in the region left, so every bit they could have written is worked out again.
    void SettleAfterPastTopChange(int64_t way) {
        if (way == lastPastTopWay_) return;
        lastPastTopWay_ = way;
        for (uint16_t bit : top_->nearTopBits) Settle(bit);
        for (uint32_t i : top_->words) {
            uint8_t bytes[sizeof(uint64_t)];  // the word holds referencedMap's bytes in order
            std::memcpy(bytes, &top_->written[i], sizeof bytes);
            for (int k = 0; k < 8; ++k) {
                for (int m = 0; m < 8; ++m) {
                    if (bytes[k] & bitMasks[m]) Settle(int64_t{i} * 64 + k * 8 + m);
                }
            }
        }
    }

    void Settle(int64_t bit) {
        // The writers in falling address order; within one, the writes in reverse order.
        for (uint32_t i = writerStart_[bit + 1]; i-- > writerStart_[bit];) {
            const int64_t s = writers_[i];
            if (!steps_.Test(s)) continue;
            const StepFacts& f = FactsAt(s);
            if (!accepted_.Test(s) && f.Has(StepFacts::HasOperand)) {
                if (s == bit || (f.Has(StepFacts::OperandInSpace) && f.operand == bit &&
                                 ClearsUnnamed(bit, s))) {
                    ClearBit(state_.referencedMap, bit);
                    return;
                }
            }
            if (f.Has(StepFacts::Recorded) && f.recordedValue == bit) {
                SetBit(state_.referencedMap, bit);
                return;
            }
        }
        // No instruction of this pass writes the bit: it keeps what earlier passes left.
    }

    // Whether a rejected instruction at s clears the bit: not once an accepted instruction (in an
    // earlier pass, or earlier in this one) has named it.
    bool ClearsUnnamed(int64_t bit, int64_t s) const {
        if (!TestBit(state_.codeRefMap, bit)) return true;
        return codeRefPass_[bit] == pass_ && s < codeRefStep_[bit];
    }

    RunState& state_;
    const Region region_;
    const bool firstIsEntry_;  // each pass makes the region's first byte an entry point
    const int64_t first_;      // the region's addresses: [first_, end_)
    const int64_t end_;
    const PastTop* top_;  // what the passes do past $FFFF, for a region that runs past it
    std::vector<StepFacts> facts_;
    std::vector<uint32_t> writerStart_;
    std::vector<uint16_t> writers_;
    AddressBits alwaysDecide_;

    AddressBits code_;           // isCode, as the walk goes
    AddressBits entry_;          // isEntry, as the walk goes
    AddressBits codeBefore_;     // isCode as the last pass left it
    AddressBits codeTwoBefore_;  // ... and as the pass before it left it
    AddressBits entryAtStart_;   // entry points as this pass started
    AddressBits entryBefore_;    // ... and as the last pass started
    WrittenWords codeWords_;     // the words of code_ that this pass and the last one wrote
    WrittenWords entryWords_;

    AddressBits steps_;     // the trace: where a step starts
    AddressBits accepted_;  // ... and whether it was accepted
    AddressBits touched_;
    ValueList<kAddressCount> touchedList_;

    // The pass that set a codeRefMap bit (0: before them), and the instruction that set it.
    ZeroedArray<uint32_t> codeRefPass_{kAddressCount};
    ZeroedArray<uint16_t> codeRefStep_{kAddressCount};
    ValueList<kAddressCount> codeRefsThisPass_;
    ValueList<kAddressCount> codeRefsLastPass_;

    uint32_t pass_ = 0;
    int64_t lastPastTopWay_ = -2;  // unknown before the first pass: -1 a pass that ends before
    bool haveTrace_ = false;
    int64_t lastStep_ = -1;
    int64_t markedEnd_ = -1;
};

}  // namespace

bool CanReplayPasses(const RunState& state, const PastTop* top) {
    const Region& region = CurrentRegion(state);
    if (region.address < 0 || region.address >= kAddressCount) return false;
    return EndAddress(region) <= kAddressCount || (top && top->quietAtTop);
}

void StartPassTrace(const RunState& state, PassTrace& trace) {
    trace.steps.assign(kWords, 0);
    trace.accepted.assign(kWords, 0);
    trace.codeBefore.resize(kWords);
    trace.entryBefore.resize(kWords);
    PackTable(state, trace.codeBefore.data(), trace.entryBefore.data());
    trace.newCodeRefs.clear();
    trace.ended = false;
    trace.lastStep = -1;
}

void RunReplayedPasses(RunState& state, const OpcodeShapes& shapes, const PastTop* top,
                       const PassTrace* trace, bool firstIsEntry) {
    auto replay = std::make_unique<Replay>(state, shapes, top, trace, firstIsEntry);
    replay->RunPasses();
}
