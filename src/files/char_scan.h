// Looking for a few characters in text sixteen bytes at a time, through the compiler's vector
// types: a chunk of text is compared with a character all at once, and the matches are gathered
// into a bit mask (by one instruction where the processor has it, else by a multiplication).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

using CharChunk = char __attribute__((vector_size(16)));

inline CharChunk LoadChunk(const char* at) {
    CharChunk chunk;
    std::memcpy(&chunk, at, sizeof chunk);
    return chunk;
}

// MatchBits through the compiler's vector types alone: the top bit of each byte, gathered into
// the top byte of each half by one multiplication.
inline uint32_t MatchBitsByMultiplying(CharChunk matches) {
    uint64_t halves[2];
    std::memcpy(halves, &matches, sizeof halves);
    constexpr uint64_t kTops = 0x8080808080808080ull, kGather = 0x0002040810204081ull;
    const auto gather = [](uint64_t half) { return ((half & kTops) * kGather) >> 56; };
    return static_cast<uint32_t>(gather(halves[0]) | gather(halves[1]) << 8);
}

// One bit for each byte of the chunk that is all ones (a match), the first byte in the lowest bit.
inline uint32_t MatchBits(CharChunk matches) {
#if defined(__SSE2__)
    // The processor gathers the top bit of each byte in one instruction.
    return static_cast<uint32_t>(__builtin_ia32_pmovmskb128(matches));
#else
    return MatchBitsByMultiplying(matches);
#endif
}

// The number of bits set in the value (without a library call where the processor has no
// instruction for it).
inline int BitCount(uint32_t value) {
    value = value - ((value >> 1) & 0x55555555u);
    value = (value & 0x33333333u) + ((value >> 2) & 0x33333333u);
    value = (value + (value >> 4)) & 0x0F0F0F0Fu;
    return static_cast<int>((value * 0x01010101u) >> 24);
}

// The number of line feeds in [from, from + size).
inline uint64_t CountLineFeeds(const char* from, size_t size) {
    uint64_t count = 0;
    const char* const end = from + size;
    for (; end - from >= static_cast<std::ptrdiff_t>(sizeof(CharChunk));
         from += sizeof(CharChunk)) {
        count += static_cast<uint64_t>(BitCount(MatchBits(LoadChunk(from) == '\n')));
    }
    for (; from < end; ++from) count += *from == '\n';
    return count;
}

// The first line feed, carriage return or $1A in [from, end), or end.
inline const char* FirstLineBreakOrMark(const char* from, const char* end) {
    for (; end - from >= static_cast<std::ptrdiff_t>(sizeof(CharChunk));
         from += sizeof(CharChunk)) {
        const CharChunk chunk = LoadChunk(from);
        const uint32_t marks = MatchBits((chunk == '\n') | (chunk == '\r') | (chunk == '\x1A'));
        if (marks != 0) return from + __builtin_ctz(marks);
    }
    while (from < end && *from != '\n' && *from != '\r' && *from != '\x1A') ++from;
    return from;
}

// Copies the text to the destination with every tab made a blank; returns the end of the copy.
// Sixteen bytes at a time while that many are left, so the destination needs no room past it.
inline char* CopyTabsAsBlanks(char* to, const char* from, size_t length) {
    size_t i = 0;
    for (; length - i >= sizeof(CharChunk); i += sizeof(CharChunk)) {
        const CharChunk chunk = LoadChunk(from + i);
        const CharChunk tabs = chunk == '\t';
        const CharChunk copied = (chunk & ~tabs) | (tabs & ' ');
        std::memcpy(to + i, &copied, sizeof copied);
    }
    for (; i < length; ++i) to[i] = from[i] == '\t' ? ' ' : from[i];
    return to + length;
}
