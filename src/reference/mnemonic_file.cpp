#include "reference/mnemonic_file.h"

#include <cctype>

#include "core/number_text.h"
#include "core/run_state.h"
#include "files/text_reader.h"
#include "reference/line_tokenizer.h"

void LoadMnemonics(RunState& state) {
    TextReader reader;
    reader.Open(state.mnemonicPath);
    LoadMnemonicsFrom(state, reader);
    reader.Close();
}

namespace {

// True when the text before the first "," is the word "directive", blanks around it and case
// aside.
bool IsDirectiveLine(const std::string& line) {
    const size_t comma = line.find(',');
    if (comma == std::string::npos) return false;
    const size_t first = line.find_first_not_of(" \t");
    const size_t last = line.find_last_not_of(" \t", comma - 1);
    if (first >= comma || last == std::string::npos || last + 1 - first != 9) return false;
    std::string word = line.substr(first, 9);
    for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return word == "directive";
}

}  // namespace

void LoadMnemonicsFrom(RunState& state, TextReader& reader) {
    state.tableDirectives.clear();
    while (!reader.AtEnd()) {
        reader.ReadLineInto(state.workLine);
        if (state.workLine.find(';') != std::string::npos) continue;
        if (IsDirectiveLine(state.workLine)) {
            CutToken(state, '\'');
            std::string text = CutToken(state, '\'');
            if (text.find_first_not_of(' ') != std::string::npos) {
                state.tableDirectives.push_back(std::move(text));
            }
            continue;
        }
        if (state.workLine.find('$') == std::string::npos) continue;
        uint8_t opcode = static_cast<uint8_t>(ParseNumber32(CutToken(state, ',')) & 0xFF);
        CutToken(state, '\'');
        state.mnemonicTable[opcode] = CutToken(state, '\'');
    }
}
