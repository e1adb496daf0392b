#include "engine/instruction_format.h"

#include <algorithm>

#include "core/address_table.h"
#include "engine/asm_lines.h"
#include "engine/label_helpers.h"
#include "engine/text_helpers.h"
#include "engine/user_notes.h"
#include "reference/label_file.h"

namespace {

constexpr char kPlaceholders[] = "NQZL";
constexpr int64_t kIoAreaStart = 0xD000;  // hardware registers: never recorded as references
constexpr int64_t kIoAreaEnd = 0xD800;
constexpr size_t kMnemonicLength = 3;

// File offset of the byte at the given distance after the current opcode.
int64_t FileOffsetAfterOpcode(const RunState& state, int64_t distance) {
    return FileOffsetOf(CurrentRegion(state), state.currentAddress) + distance;
}

// Reads the operand bytes that lie inside the file; returns how many were read.
int ReadOperandBytes(RunState& state, uint8_t length) {
    int count = 0;
    state.operandBytes = {0, 0};
    for (int i = 0; i + 1 < length; ++i) {
        if (FileOffsetAfterOpcode(state, 1 + i) >= EndOffset(CurrentRegion(state))) break;
        state.operandBytes[i] = state.sourceFile.ReadByte();
        ++count;
    }
    return count;
}

// "dta $" and the opcode, then each operand byte that was read in parentheses.
std::string TruncatedForm(const RunState& state, uint8_t opcode, int bytesRead) {
    std::string text = "dta $" + FormatHex(opcode, 2);
    for (int i = 0; i < bytesRead; ++i) text += ",($" + FormatHex(state.operandBytes[i], 2) + ")";
    return text;
}

}  // namespace

void ReportInnerLabels(RunState& state, uint8_t length) {
    for (int k = length - 1; k >= 1; --k) {
        if (!IsLabelTarget(state, state.currentAddress + k)) continue;
        if (LineName(state, state.currentAddress + k)) continue;
        state.anchorLabel = CodeLabel(state, state.currentAddress);
        std::string key = CodeLabel(state, state.currentAddress + k);
        std::string replacement = state.anchorLabel + "+" + std::to_string(k);
        state.tmpFile.WriteLine(key + replacement);
        state.innerLabels.emplace_back(std::move(key), std::move(replacement));
    }
}

namespace {

void SubstituteName(RunState& state);

// Replaces a numeric operand by the user's name of its address, or else by the label file's.
void NameOperand(RunState& state, bool immediate) {
    if (immediate || state.operandText[0] != '$') return;
    if (const std::string* name = UserNameOf(state, state.operandValue)) {
        state.operandText = *name;
        return;
    }
    if (state.useLabelFile == 1) SubstituteName(state);
}

// Replaces a numeric operand by the label-file name of its address, when there is one.
void SubstituteName(RunState& state) {
    // The operand text is "$" and two or four hex digits: its key has four.
    int64_t value = ParseNumber(state.operandText);
    if (!TestBit(state.namedAddresses, value)) return;
    const char access = TestBit(state.accessNamed, value)
                            ? AccessOfPattern(state.mnemonicTable[state.currentByte])
                            : 0;
    const std::string_view name = NameOfAddressFor(state, static_cast<uint16_t>(value), access);
    if (!name.empty()) state.operandText.assign(name);
}

// The mnemonics-off form: the opcode and its operand as data.
std::string DataForm(const RunState& state, uint8_t opcode, char placeholder) {
    std::string text = "dta $" + FormatHex(opcode, 2);
    if (placeholder == 'Q') {
        return text + ",a($" + FormatHex(state.operandBytes[1], 2) +
               FormatHex(state.operandBytes[0], 2) + ")";
    }
    return text + ",$" + FormatHex(state.operandBytes[0], 2);
}

}  // namespace

std::vector<InstructionTemplate> InstructionTemplates(const RunState& state) {
    std::vector<InstructionTemplate> templates(256);
    for (int opcode = 0; opcode < 256; ++opcode) {
        const std::string& pattern = state.mnemonicTable[opcode];
        InstructionTemplate& t = templates[opcode];
        const size_t position = PlaceholderPosition(pattern);
        if (position == std::string::npos) {
            t.direct = true;
            t.before = pattern;
            TrimTrailingBlanks(t.before);
            continue;
        }
        // ".w" goes in after the mnemonic; the pieces hold when that is before the placeholder.
        if (position < kMnemonicLength) continue;
        t.direct = true;
        t.placeholder = pattern[position];
        t.length = OperandLength(t.placeholder);
        t.immediate = pattern.find('#') != std::string::npos;
        t.jumpOrCall =
            pattern.find("jmp") != std::string::npos || pattern.find("jsr") != std::string::npos;
        t.before = pattern.substr(0, position);
        t.beforeWide = t.before;
        t.beforeWide.insert(kMnemonicLength, ".w");
        t.after = pattern.substr(position + 1);
        TrimTrailingBlanks(t.after);  // the operand never ends in a blank
    }
    return templates;
}

void AppendInstruction(RunState& state, const std::vector<InstructionTemplate>& templates,
                       uint8_t opcode, std::string& out) {
    const InstructionTemplate& t = templates[opcode];
    if (!t.direct || state.mnemonicsOff == 1 ||
        (t.placeholder && IsCutByEndOfFile(state, t.length))) {
        out += FormatInstruction(state, opcode);
        return;
    }
    state.currentByte = opcode;
    state.instructionLength = 1;
    if (!t.placeholder) {
        CloseDataLine(state);
        out += t.before;
        return;
    }
    ReadOperand(state, t.placeholder, t.length);
    const int64_t value = state.operandValue;
    std::string& text = state.operandText;
    if (t.placeholder == 'N') {
        text.assign(1, '$');
        text += hexDigits[(value >> 4) & 15];
        text += hexDigits[value & 15];
    } else {
        // Operand values lie within $0000-$FFFF: one or two bytes, or a wrapped branch target.
        const int layer = OperandLabelLayer(state, value);
        if (layer == state.currentLayer) {
            if (const std::string* name = LineName(state, value)) {
                text.assign(*name);
            } else {
                text.assign(state.labelPrefix);
                AppendHex4(text, value);
            }
        } else if (layer >= 0) {
            text.assign(LabelInLayer(state, layer, value));
        } else {
            text.assign(1, '$');
            AppendHex4(text, value);
        }
    }
    ReportInnerLabels(state, t.length);
    NameOperand(state, t.immediate);
    CloseDataLine(state);
    const bool wide = t.placeholder == 'Q' && !t.jumpOrCall &&
                      (value < 0x100 || (value < state.absoluteReach && text[0] != '$'));
    out += wide ? t.beforeWide : t.before;
    out += state.operandText;
    out += t.after;
}

size_t PlaceholderPosition(const std::string& pattern) {
    size_t position = std::string::npos;
    for (const char* p = kPlaceholders; *p && position == std::string::npos; ++p) {
        position = pattern.find(*p);
    }
    return position;
}

uint8_t OperandLength(char placeholder) {
    return placeholder == 'Q' ? 3 : 2;
}

int ReadOperand(RunState& state, char placeholder, uint8_t length) {
    state.instructionLength = length;
    int bytesRead = ReadOperandBytes(state, length);
    state.operandValue =
        OperandValue(placeholder, length, state.operandBytes, bytesRead, state.currentAddress);
    return bytesRead;
}

int64_t OperandValue(char placeholder, uint8_t length, const std::array<uint8_t, 2>& bytes,
                     int bytesRead, int64_t address) {
    if (placeholder == 'L') {
        // The address after the instruction plus the signed offset, wrapped to 16 bits as the
        // processor does.
        const int offset = bytes[0] >= 0x80 ? bytes[0] - 256 : bytes[0];
        return (address + offset + length) & kLastAddress;
    }
    return bytesRead == 2 ? bytes[0] + 256 * bytes[1] : bytes[0];
}

bool IsCutByEndOfFile(const RunState& state, uint8_t length) {
    return FileOffsetAfterOpcode(state, length) > EndOffset(CurrentRegion(state));
}

bool IsRecordedValue(int64_t value) {
    return value < kIoAreaStart || value >= kIoAreaEnd;
}

void RecordReference(RunState& state) {
    if (IsRecordedValue(state.operandValue)) SetBit(state.referencedMap, state.operandValue);
}

bool ForcesAbsolute(const std::string& pattern, char placeholder, int64_t value) {
    return placeholder == 'Q' && value < 0x100 && pattern.find("jmp") == std::string::npos &&
           pattern.find("jsr") == std::string::npos;
}

std::string FormatInstruction(RunState& state, uint8_t opcode) {
    state.currentByte = opcode;  // the operand rules read the opcode from here
    state.instructionLength = 1;
    state.workLine = state.mnemonicTable[opcode];
    size_t position = PlaceholderPosition(state.workLine);
    if (position != std::string::npos) {
        FormatOperand(state, position, OperandLength(state.workLine[position]));
    }
    if (state.phase == 2) CloseDataLine(state);
    TrimTrailingBlanks(state.workLine);
    return state.workLine;
}

void FormatOperand(RunState& state, size_t position, uint8_t length) {
    const uint8_t opcode = state.currentByte;
    const std::string& pattern = state.mnemonicTable[opcode];
    const char placeholder = pattern[position];

    // The operand as "$" and four hex digits: the bytes read, high byte first, or the target of
    // a branch.
    int bytesRead = ReadOperand(state, placeholder, length);
    state.operandText = "$" + FormatHex(state.operandValue, 4);

    if (ForcesAbsolute(pattern, placeholder, state.operandValue)) {
        size_t at = std::min(kMnemonicLength, state.workLine.size());
        state.workLine.insert(at, ".w");
        if (at <= position) position += 2;
    }

    if (IsCutByEndOfFile(state, length)) {
        state.workLine = TruncatedForm(state, opcode, bytesRead);
        if (state.phase == 2) ReportInnerLabels(state, length);
        return;
    }

    if (state.phase == 1) {
        RecordReference(state);
    } else if (state.phase == 2) {
        // A reference to the last byte of a region stays a number.
        if (placeholder != 'N') {
            const int layer = OperandLabelLayer(state, state.operandValue);
            if (layer >= 0) state.operandText = LabelInLayer(state, layer, state.operandValue);
        }
        if (placeholder == 'N' && ParseNumber(state.operandText) < 0x100) {
            state.operandText.erase(1, 2);
        }
        ReportInnerLabels(state, length);
        NameOperand(state, pattern.find('#') != std::string::npos);
        if (placeholder == 'Q' && state.operandValue >= 0x100 &&
            state.operandValue < state.absoluteReach && state.operandText[0] != '$' &&
            ForcesAbsolute(pattern, placeholder, 0)) {
            const size_t at = std::min(kMnemonicLength, state.workLine.size());
            state.workLine.insert(at, ".w");
            if (at <= position) position += 2;
        }
    }

    if (state.mnemonicsOff == 1) {
        state.workLine = DataForm(state, opcode, placeholder);
    } else {
        state.workLine.replace(position, 1, state.operandText);
    }
}
