// The one-line-delayed writer of the listing: every line is held back until the next one comes,
// so that a run of equal instruction lines is written once under a repeat prefix (":n").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/run_state.h"
#include "engine/user_notes.h"

// Assemblers take a repeat count up to 65535: a longer run starts a new line.
constexpr int64_t kMaxRepeatCount = 65535;

// Queues the line: holds it back and merges a run of equal instruction lines.
void QueueLine(RunState& state, const std::string& line);

// The no-line marker of the delayed writer: writes the held-back line and is never written
// itself. Data bytes queue it, so equal lines on both sides of data are not merged.
void QueueMarker(RunState& state);

// The line with the prefix and a tab put in front of its mnemonic.
std::string InsertRepeatPrefix(const RunState& state, const std::string& line,
                               const std::string& prefix);

// Writes the held-back line to asmFile with its repeat prefix, if any.
void WritePendingLine(RunState& state);

// Holds the line (or, with none, the marker) back; writes the line held before unless the new
// one repeats it.
// composed: the line lies in that buffer, which takes the held-back line's place instead of
// being copied.
[[gnu::always_inline]] inline void Queue(RunState& state, const std::string_view* line,
                                         LineBuffer* composed = nullptr) {
    const bool equal =
        line ? !state.pendingIsMarker && *line == state.pendingLine.View() : state.pendingIsMarker;
    const bool full = line && state.itemCount + 1 >= kMaxRepeatCount;
    const bool merged = equal && !full && !(line && line->find("dta") != std::string::npos);
    if (merged) {
        ++state.itemCount;
        state.pendingEnd = state.lineEnd;
    } else {
        if (!state.pendingIsMarker) {
            // A line that holds bytes, noted when there are comments to place.
            if (state.pendingEnd > state.pendingFirst && KeepsListedLines(state)) {
                NoteListedLine(state, state.pendingFirst, state.pendingEnd, state.pendingRegion);
            }
            WritePendingLine(state);
        }
        state.itemCount = 0;
    }
    if (line) {
        if (!merged) {
            if (composed) {
                state.pendingLine.Swap(*composed);
            } else {
                state.pendingLine.Assign(*line);
            }
            state.pendingFirst = state.lineFirst;
            state.pendingEnd = state.lineEnd;
            state.pendingRegion = state.currentRegion;
        }
    } else {
        state.pendingLine.Clear();
    }
    state.pendingIsMarker = !line;
    state.prevByte = state.currentByte;
}

inline void QueueText(RunState& state, std::string_view line) {
    Queue(state, &line);
}

inline void QueueComposed(RunState& state, LineBuffer& composed) {
    const std::string_view line = composed.View();
    Queue(state, &line, &composed);
}
