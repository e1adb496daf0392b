#include "engine/text_helpers.h"

#include "core/run_state.h"

char ByteStyle(const RunState& state, uint8_t b) {
    // A single quote inside c'...' would end the string early, so it is always written as a byte.
    if (state.dataStyle == 'A' && IsTextChar(b) && b != '\'') return 'A';
    return 'D';
}
