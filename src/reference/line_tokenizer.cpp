#include "reference/line_tokenizer.h"

#include <algorithm>

#include "driver/run_state.h"

std::string CutToken(RunState& state, char delimiter) {
    std::string copy = state.workLine;
    std::replace(copy.begin(), copy.end(), '\t', ' ');
    size_t at = copy.find(delimiter);
    if (at == std::string::npos) {
        state.workLine = copy;
        state.workToken.clear();
    } else {
        state.workToken = copy.substr(0, at);
        state.workLine = copy.substr(at + 1);
    }
    return state.workToken;
}
