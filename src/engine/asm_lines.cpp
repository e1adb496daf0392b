#include "engine/asm_lines.h"

#include "core/run_state.h"

void WriteAsmLine(RunState& state, std::string_view text) {
    if (state.phase == 2) state.asmFile.WriteLine(text);
}

void WriteResultOpening(RunState& state) {
    WriteAsmLine(state, "\topt h-");
    for (const std::string& directive : state.tableDirectives)
        WriteAsmLine(state, "\t" + directive);
}

void CloseDataLine(RunState& state) {
    if (state.dataColumn <= 0) return;
    WriteAsmLine(state, state.dataStyle == 'A' ? "'" : "");
    state.dataColumn = 0;
}
