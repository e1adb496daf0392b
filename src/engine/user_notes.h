// What the user knows about the program and wants to see again on every run: names for
// addresses (-n$XXXX=NAME) and comments at addresses (-c$XXXX=TEXT), usually kept in an options
// file beside the program.
//
// A name stands wherever the address's generated label would: on the line that starts at the
// address (which gets a label even when nothing refers to it), in every reference, and in the
// references into an instruction that starts there (NAME+1). Operands that show the address as a
// number show the name instead. An address that starts no line of its own (outside the image,
// inside an instruction, under an address word) is named by an equate at the top instead. The
// name changes nothing about code and data. In an image of several layers, the name labels the
// first layer that holds the address.
//
// A comment is a line "; TEXT" right before the line that holds its address, several for one
// address in the order given; one whose address no line holds goes before the first line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/run_state.h"

// Splits the text of -n and -c after the letter: "$XXXX" (any number form), "=", the rest.
// False when there is no "=" or the address lies outside $0000-$FFFF.
bool SplitAddressedOption(const std::string& text, int64_t& address, std::string& rest);

// Checks the names against the loaded instruction set: a letter or "_" first, then letters,
// digits and "_"; no mnemonic, no directive, no generated label's form (nor one inside it), no
// name given twice (without regard to case) and no address named twice. Ends the run with a
// line that says what is wrong (status 2). Then indexes the names by address.
void CheckUserNames(RunState& state);

// With -x and -l, after the analysis: an address inside the image that the label file names and
// that carries a label takes the label file's name as its label, in the first layer that holds
// it, as a name given with -n would (labelFileLabels marks them; their equates from the label
// file are left out). Names an assembler would not take as labels are passed over.
void AdoptLabelFileNames(RunState& state);

// Ends the run (status 2) when a name the user gives is also a name of the label file, without
// regard to case: the assembler would take the two for one.
void CheckNamesAgainstLabelFile(const RunState& state, const std::vector<std::string>& names);

// Decides the layer each name labels: the first whose image holds its address.
void PlaceUserNames(RunState& state);

// The user's name of the address when it labels a line of the current layer; null otherwise.
const std::string* LineName(const RunState& state, int64_t address);

// The user's name of the address when it labels a line of the layer; null otherwise.
const std::string* LineNameInLayer(const RunState& state, int layer, int64_t address);

// The user's name of the address, whatever line holds it; null when it has none.
const std::string* UserNameOf(const RunState& state, int64_t address);

// Notes that a line carries the address's name.
void MarkNameDefined(RunState& state, int64_t address);

// The equate lines for the names that no line carries: "NAME = $XXXX".
std::vector<std::string> UserNameEquates(const RunState& state);

// Puts the comments in the order they are written: by address, then as given.
void SortUserComments(RunState& state);

// Writes to asmFile the comment lines for the addresses [first, end).
void WriteComments(RunState& state, int64_t first, int64_t end);

// Writes to asmFile the comment lines whose address no line holds (it lies in no region).
void WriteUnplacedComments(RunState& state);

// True when the run keeps which lines hold which bytes: there are comments to place, or a page
// to write.
inline bool KeepsListedLines(const RunState& state) {
    return !state.userComments.empty() || state.writePage == 1;
}

// Empties the record of listed lines and, when the run keeps it, makes room for as many lines as
// the image has bytes (up to a million), so that it does not grow by copying.
void StartListedLines(RunState& state);

// Records, when the run keeps them, that the next line the listing writes holds the bytes from
// first on (to end; -1 for a data line, whose end comes with the line after it); isTable: a line
// of address words.
void NoteListedLine(RunState& state, int64_t first, int64_t end, int region, bool isTable = false);

// Gives every data line of listedLines its end.
void EndListedLines(RunState& state);
