#include "core/run_state.h"

void OpenSource(RunState& state, const std::string& name) {
    state.sourceFile.Open(name);
    state.sourceFile.Seek(state.skipCount);
}
