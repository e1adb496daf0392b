#include "core/address_table.h"

void ResetAddressTables(RunState& state) {
    // Each chunk takes its start values when it is next used.
    state.preparedChunks = 0;
}

void PrepareChunk(RunState& state, int64_t address) {
    const int64_t first = address & ~(kTableChunk - 1);
    AddressInfo* const chunk = state.addressInfo.data() + first;
    for (int64_t i = 0; i < kTableChunk; ++i) chunk[i] = StartInfo(first + i);
    state.preparedChunks |= uint64_t{1} << (address >> kTableChunkBits);
}
