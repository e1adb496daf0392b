// The per-address tables of the run state (addressInfo and the bitmaps) and the only ways into
// them. Addresses outside $0000-$FFFF read as all zero and writes to them are ignored, so no
// caller can index a table outside it.
//
// The address table is set up a chunk at a time, when a chunk is first used: until then it reads
// as every address reads at the start of a run, and its memory is never touched. Code that
// reads or writes addressInfo directly, rather than through InfoAt and the setters, first
// prepares the addresses it will use.
#pragma once

#include <cstdint>

#include "core/run_state.h"

inline bool InAddressSpace(int64_t address) {
    return address >= 0 && address <= kLastAddress;
}

// ---- The address table's chunks.

constexpr int kTableChunkBits = 10;
constexpr int64_t kTableChunk = int64_t{1} << kTableChunkBits;
static_assert(kAddressCount / kTableChunk == 64, "one bit of preparedChunks a chunk");

// What an address holds at the start of a run: code, no entry point, no block kind; $FFFF is
// data (no instruction may start on the last address of memory).
inline AddressInfo StartInfo(int64_t address) {
    return AddressInfo{static_cast<uint8_t>(address != kLastAddress), 0, 0};
}

inline bool IsPrepared(const RunState& state, int64_t address) {
    return ((state.preparedChunks >> (address >> kTableChunkBits)) & 1) != 0;
}

// Sets up the chunk that holds the address (within $0000-$FFFF) with the start values.
void PrepareChunk(RunState& state, int64_t address);

// Every address of the table back to its start values (StartInfo): code everywhere but $FFFF,
// no entry point, no block kind.
void ResetAddressTables(RunState& state);

// Sets up every chunk that holds an address of [first, end), clipped to $0000-$FFFF.
inline void PrepareAddresses(RunState& state, int64_t first, int64_t end) {
    first = first < 0 ? 0 : first;
    end = end > kAddressCount ? kAddressCount : end;
    for (int64_t a = first; a < end; a = (a | (kTableChunk - 1)) + 1) {
        if (!IsPrepared(state, a)) PrepareChunk(state, a);
    }
}

inline AddressInfo InfoAt(const RunState& state, int64_t address) {
    if (!InAddressSpace(address)) return AddressInfo{0, 0, 0};
    return IsPrepared(state, address) ? state.addressInfo[address] : StartInfo(address);
}
// The entry of an address within $0000-$FFFF, set up for writing.
inline AddressInfo& PreparedInfo(RunState& state, int64_t address) {
    if (!IsPrepared(state, address)) PrepareChunk(state, address);
    return state.addressInfo[address];
}
inline void SetIsCode(RunState& state, int64_t address, uint8_t value) {
    if (InAddressSpace(address)) PreparedInfo(state, address).isCode = value;
}
inline void SetIsEntry(RunState& state, int64_t address, uint8_t value) {
    if (InAddressSpace(address)) PreparedInfo(state, address).isEntry = value;
}
inline void SetBlockKind(RunState& state, int64_t address, uint8_t value) {
    if (InAddressSpace(address)) PreparedInfo(state, address).blockKind = value;
}

inline bool TestBit(const Bitmap& map, int64_t address) {
    return InAddressSpace(address) && (map[address >> 3] & bitMasks[address & 7]) != 0;
}
inline void SetBit(Bitmap& map, int64_t address) {
    if (InAddressSpace(address)) map[address >> 3] |= bitMasks[address & 7];
}
inline void ClearBit(Bitmap& map, int64_t address) {
    if (InAddressSpace(address)) map[address >> 3] &= static_cast<uint8_t>(~bitMasks[address & 7]);
}
