// The listing phase: reads the image once more and writes the intermediate listing (base name +
// ".$$$") in the output syntax: instructions with their labels, repeated instruction lines
// merged under a ":n" prefix, and data as byte lists or character strings.
#pragma once

#include <cstdint>
#include <string>

struct RunState;

constexpr char kListingExtension[] = ".$$$";
constexpr char kSeparatorComment[] = ";--------------------------";

// Writes the intermediate listing and creates the inner-label file; one "." on the console.
void WriteListing(RunState& state);

// The separator comment, the org line for the address, and the separator again.
void WriteHeader(RunState& state, int64_t address);

// Appends the byte's two hex digits.
void AppendHexByte(std::string& text, uint8_t value);

// Appends the label field of the current address: its label (noting a user's name as defined)
// and a tab when labelled, a lone tab otherwise.
void AppendLabelField(RunState& state, std::string& text, bool labelled);
