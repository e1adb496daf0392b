#include "reference/line_tokenizer.h"

#include <algorithm>

#include "core/run_state.h"

std::string CutToken(RunState& state, char delimiter) {
    std::string& line = state.workLine;
    std::replace(line.begin(), line.end(), '\t', ' ');
    size_t at = line.find(delimiter);
    if (at == std::string::npos) {
        state.workToken.clear();
    } else {
        state.workToken.assign(line, 0, at);
        line.erase(0, at + 1);
    }
    return state.workToken;
}
