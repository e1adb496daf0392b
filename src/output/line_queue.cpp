#include "output/line_queue.h"

void WritePendingLine(RunState& state) {
    if (state.itemCount > 0) {
        state.asmFile.WriteLine(InsertRepeatPrefix(state, std::string(state.pendingLine.View()),
                                                   ":" + std::to_string(state.itemCount + 1)));
    } else {
        state.asmFile.WriteLine(state.pendingLine.View());
    }
}

void QueueLine(RunState& state, const std::string& line) {
    QueueText(state, line);
}

void QueueMarker(RunState& state) {
    Queue(state, nullptr);
}

std::string InsertRepeatPrefix(const RunState& state, const std::string& line,
                               const std::string& prefix) {
    std::string mnemonic = state.mnemonicTable[state.prevByte].substr(0, 3);
    size_t at = mnemonic.empty() ? std::string::npos : line.find(mnemonic);
    std::string result = line;
    result.insert(at == std::string::npos ? 0 : at, prefix + "\t");
    return result;
}
