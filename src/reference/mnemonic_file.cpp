#include "reference/mnemonic_file.h"

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

void LoadMnemonicsFrom(RunState& state, TextReader& reader) {
    while (!reader.AtEnd()) {
        reader.ReadLineInto(state.workLine);
        if (state.workLine.find('$') == std::string::npos) continue;
        if (state.workLine.find(';') != std::string::npos) continue;
        uint8_t opcode = static_cast<uint8_t>(ParseNumber32(CutToken(state, ',')) & 0xFF);
        CutToken(state, '\'');
        state.mnemonicTable[opcode] = CutToken(state, '\'');
    }
}
