// The text helpers of the disassembly: the number syntax and hex text (core/number_text.h), and
// how a data byte is written under the run's data style.
#pragma once

#include <cstdint>

#include "core/number_text.h"

struct RunState;

// 'A' when the byte is written inside a character string, 'D' when as a hex byte.
char ByteStyle(const RunState& state, uint8_t b);
