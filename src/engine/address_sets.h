// Sets of addresses of the 64 KB space for the replayed passes: a bit per address with a summary
// bit per word that is not zero, so that the next or last member is found in a few steps, and
// the small lists and tables the replay keeps beside them, all allocated once.
#pragma once

#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <utility>

#include "core/run_state.h"

constexpr int64_t kNone = INT64_C(1) << 40;  // "no such address", beyond any real one
constexpr int kWords = kAddressCount / 64;

constexpr int kSummaryWords = kWords / 64;

// Which words of a 1024-word set are not zero: a bit per word, and a bit per summary word that
// is not zero (top), so that the next marked word is found in a few steps.
struct WordSummary {
    std::array<uint64_t, kSummaryWords> words{};
    uint32_t top = 0;

    bool Test(int i) const { return (words[i >> 6] >> (i & 63)) & 1; }
    void Set(int i) {
        words[i >> 6] |= uint64_t{1} << (i & 63);
        top |= uint32_t{1} << (i >> 6);
    }
    void Assign(int i, bool marked) {
        uint64_t& group = words[i >> 6];
        const uint64_t bit = uint64_t{1} << (i & 63);
        group = marked ? group | bit : group & ~bit;
        top = group != 0 ? top | (uint32_t{1} << (i >> 6)) : top & ~(uint32_t{1} << (i >> 6));
    }
    void Include(const WordSummary& other) {
        for (int g = 0; g < kSummaryWords; ++g) words[g] |= other.words[g];
        top |= other.top;
    }
};

// The first set bit at or after bit from of a set given as words and their summary, or -1.
template <typename WordAt>
int64_t NextSetBit(int64_t from, const WordSummary& summary, WordAt wordAt) {
    from = std::max<int64_t>(from, 0);
    for (int64_t i = from >> 6; i < int64_t{kWords};) {
        const int group = static_cast<int>(i >> 6);
        const uint64_t marks = summary.words[group] & (~uint64_t{0} << (i & 63));
        if (marks == 0) {
            const uint32_t later = summary.top & ~((uint32_t{2} << group) - 1);
            if (later == 0) return -1;
            i = int64_t{__builtin_ctz(later)} << 6;
            continue;
        }
        i = (int64_t{group} << 6) + __builtin_ctzll(marks);
        uint64_t word = wordAt(static_cast<int>(i));
        if (i == from >> 6) word &= ~uint64_t{0} << (from & 63);
        if (word != 0) return (i << 6) + __builtin_ctzll(word);
        ++i;
    }
    return -1;
}

// One bit per address, lowest address in the lowest bit of a word, with one summary bit per word
// that is not zero, for finding the next or last set bit without looking at every word.
struct AddressBits {
    std::array<uint64_t, kWords> words{};
    WordSummary summary;

    bool Test(int64_t a) const {
        return InAddressSpace(a) && ((words[a >> 6] >> (a & 63)) & 1) != 0;
    }
    void Set(int64_t a) {
        if (!InAddressSpace(a)) return;
        words[a >> 6] |= uint64_t{1} << (a & 63);
        summary.Set(static_cast<int>(a >> 6));
    }
    void Clear(int64_t a) {
        if (!InAddressSpace(a)) return;
        words[a >> 6] &= ~(uint64_t{1} << (a & 63));
        Resummarize(static_cast<int>(a >> 6));
    }
    // Clears [from, to), both within the address space; calls changed(address) for each word
    // that held a set bit there.
    template <typename Changed>
    void ClearRange(int64_t from, int64_t to, Changed changed) {
        // Only the words that hold a set bit are looked at.
        for (int64_t a = NextSetBit(from, summary, [&](int i) { return words[i]; });
             a >= 0 && a < to;
             a = NextSetBit((a | 63) + 1, summary, [&](int i) { return words[i]; })) {
            const int i = static_cast<int>(a >> 6);
            const int64_t wordEnd = std::min<int64_t>(to, (int64_t{i} + 1) << 6);
            const int low = static_cast<int>(a & 63);
            const int count = static_cast<int>(wordEnd - a);
            const uint64_t mask = count == 64 ? ~uint64_t{0} : ((uint64_t{1} << count) - 1) << low;
            words[i] &= ~mask;
            Resummarize(i);
            changed(a);
        }
    }
    // Takes the bits of a set given as words, a bit per address.
    void Assign(const uint64_t* from) {
        for (int i = 0; i < kWords; ++i) {
            words[i] = from[i];
            Resummarize(i);
        }
    }
    void CopyWord(const AddressBits& from, int i) {
        words[i] = from.words[i];
        Resummarize(i);
    }
    void Resummarize(int i) { summary.Assign(i, words[i] != 0); }
};

// The first address at or after from in the set, or kNone.
inline int64_t NextSet(const AddressBits& bits, int64_t from) {
    if (from > kLastAddress) return kNone;
    const int64_t found = NextSetBit(from, bits.summary, [&](int i) { return bits.words[i]; });
    return found < 0 ? kNone : found;
}

// The last address in [floor, before) in the set, or -1.
inline int64_t PreviousSet(const AddressBits& bits, int64_t before, int64_t floor) {
    before = std::min<int64_t>(before, kAddressCount);
    floor = std::max<int64_t>(floor, 0);
    if (before <= floor) return -1;
    const int64_t last = before - 1;
    for (int64_t i = last >> 6; i >= floor >> 6;) {
        const uint64_t marks = bits.summary.words[i >> 6] & (~uint64_t{0} >> (63 - (i & 63)));
        if (marks == 0) {
            i = ((i >> 6) << 6) - 1;
            continue;
        }
        i = ((i >> 6) << 6) + 63 - __builtin_clzll(marks);
        uint64_t word = bits.words[i];
        if (i == last >> 6) word &= ~uint64_t{0} >> (63 - (last & 63));
        if (word != 0) {
            const int64_t found = (i << 6) + 63 - __builtin_clzll(word);
            return found >= floor ? found : -1;
        }
        --i;
    }
    return -1;
}

// A list of at most N values below 65536, filled and emptied without allocating.
template <size_t N>
struct ValueList {
    std::unique_ptr<uint16_t[]> values{new uint16_t[N]};
    size_t size = 0;

    void push_back(uint16_t value) { values[size++] = value; }
    void clear() { size = 0; }
    const uint16_t* begin() const { return values.get(); }
    const uint16_t* end() const { return values.get() + size; }
};

// A table of zeros that takes memory only where it is written: a large block comes from the
// system already zero and untouched.
template <typename T>
class ZeroedArray {
  public:
    explicit ZeroedArray(size_t size) : items_(static_cast<T*>(std::calloc(size, sizeof(T)))) {
        if (!items_) throw std::bad_alloc();
    }
    T& operator[](size_t i) { return items_.get()[i]; }
    const T& operator[](size_t i) const { return items_.get()[i]; }

  private:
    struct Free {
        void operator()(T* items) const { std::free(items); }
    };
    std::unique_ptr<T, Free> items_;
};

// A set of word indexes of an AddressBits, in the same summary form, with a list for clearing.
struct WordMarks {
    WordSummary bits;
    ValueList<kWords> list;

    // Returns whether the word was not marked before.
    bool Mark(int64_t address) {
        const int i = static_cast<int>(address >> 6);
        if (bits.Test(i)) return false;
        bits.Set(i);
        list.push_back(static_cast<uint16_t>(i));
        return true;
    }
    void Reset() {
        for (uint16_t i : list) bits.words[i >> 6] = 0;
        bits.top = 0;
        list.clear();
    }
};

// The words that this pass or the last one wrote: two WordMarks, and their union kept up to date.
struct WrittenWords {
    WordMarks thisPass;
    WordMarks lastPass;
    WordSummary either;

    void Mark(int64_t address) {
        if (thisPass.Mark(address)) either.Set(static_cast<int>(address >> 6));
    }
    // The pass ends: this pass becomes the last one.
    void NextPass() {
        std::swap(lastPass, thisPass);
        thisPass.Reset();
        either = lastPass.bits;
    }
};
