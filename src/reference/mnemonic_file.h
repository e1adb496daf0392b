// The mnemonic file "mnemo.qvt": which byte values are instructions and how each is written.
// A definition line holds a "$" and no ";": the opcode, a ",", and the pattern in single quotes,
// such as $A9,'lda #N'. The last definition of an opcode wins. A line directive,'TEXT' (no ";")
// asks for TEXT as a line at the top of every result, such as the assembler's processor mode.
#pragma once

class TextReader;
struct RunState;

constexpr char kMnemonicFileName[] = "mnemo.qvt";

// Reads "mnemo.qvt" from the current directory into the opcode table.
void LoadMnemonics(RunState& state);

// Reads the definitions from an open reader into the opcode table.
void LoadMnemonicsFrom(RunState& state, TextReader& reader);
