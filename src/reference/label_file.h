// The label file "memory.qvt", which names addresses (portb $d301 ; port B), and the names file
// "_temp.$$$" made from it: one line per entry, the name, " $" and the rest before any comment.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct RunState;

constexpr char kLabelFileName[] = "memory.qvt";
constexpr char kNamesFileName[] = "_temp.$$$";

// Reads "memory.qvt" once (its lines stay in labelText for the equates), clears and fills the
// named-address bitmap, writes the names file and indexes its lines for NameForKey; measures the
// width the equates pad their names to (nameWidth).
void LoadLabelNames(RunState& state);

// The names the label file defines by an equate (entries without "+"), read from the file.
std::vector<std::string> ReadLabelFileNames(const std::string& path);

// The label file's lines as LoadLabelNames read them.
size_t LabelLineCount(const RunState& state);
std::string_view LabelLine(const RunState& state, size_t index);

// Reads the names file into the index used by NameForKey (when LoadLabelNames has not built it).
void LoadNamesIndex(RunState& state);

// The name of the first names-file line, in file order, that holds the key ("$" and four
// upper-case hex digits) anywhere when read in upper case: that line's text before its first
// blank, upper case. Empty when no line holds the key.
std::string NameForKey(RunState& state, const std::string& key);

// The same for the key of the address ("$" and its four hex digits).
std::string_view NameOfAddress(RunState& state, uint16_t address);

// The name an operand at the address shows in an instruction that reads it (access 'r') or
// writes it ('w'): the name the label file marks for that access, when it marks one; otherwise,
// and for any other access (0), NameOfAddress.
std::string_view NameOfAddressFor(RunState& state, uint16_t address, char access);

// How an instruction uses the address of its operand, by its mnemonic (the first three letters
// of the text): it reads it (lda, ldx, ldy, bit, cmp, cpx, cpy, adc, sbc, and, ora, eor, lax,
// las), writes it (sta, stx, sty, stz, sax, sha, shx, shy, shs or tas), reads and writes it
// (inc, dec, asl, lsr, rol, ror, trb, tsb, rmb, smb, dcp, and aso, rln, lse, rrd, isb, also
// known as slo, rla, sre, rra, isc), or anything else (jumps, calls, no operand address).
enum class OperandUse : uint8_t { Other, Read, Write, ReadWrite };
OperandUse UseOfMnemonic(std::string_view mnemonic);

// The same as the label file's marks see it: 'r' for a read, 'w' for a write or a
// read-modify-write, 0 for any other.
char AccessOfPattern(const std::string& pattern);
