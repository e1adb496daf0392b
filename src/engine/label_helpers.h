// Generated labels: which addresses carry one, and the label field that begins a listing line.
#pragma once

#include <cstdint>
#include <string>

#include "core/address_table.h"

constexpr char kLabelPrefix[] = "E_";

// True when the address was seen as an operand and named by accepted code or a block option.
// Addresses outside $0000-$FFFF never carry a label.
inline bool IsLabelTarget(const RunState& state, int64_t address) {
    return TestBit(state.codeRefMap, address) && TestBit(state.referencedMap, address);
}

// The label of the address: the user's name for it, or the current layer's prefix ("E_" in the
// first) and its 4 hex digits.
std::string CodeLabel(const RunState& state, int64_t address);

// True when a line that starts at the address begins with its label: a label target, or an
// address the user named.
bool CarriesLabel(const RunState& state, int64_t address);

// The layer whose label a reference to the address from the code of the current region is
// written with: the layer of the bytes at the address in the picture of that code, when they
// carry a label there; -1 when the reference stays a number. Without pictures, the current layer
// when it holds the address (not as the last byte of a region).
int OperandLabelLayer(const RunState& state, int64_t address);

// The label of the address in the layer: the user's name for it there, or the layer's prefix and
// its 4 hex digits.
std::string LabelInLayer(const RunState& state, int layer, int64_t address);

// The operand of an address word: the label of the address it holds when that label is written
// in the listing, its number otherwise.
std::string WordOperand(const RunState& state, const Region& region);

// The label field of the current address: its label and a tab in phase 2 when it carries one, a
// lone tab otherwise.
std::string LabelField(const RunState& state);
