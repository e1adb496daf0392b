// The one store that every part of a run shares: option values, what is known about each of the
// 65536 addresses, the opcode table, the position of the passes, the writers' working texts and
// the files. One instance lives for the whole run; every routine takes it by reference.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "driver/files.h"
#include "engine/image_map.h"
#include "engine/instruction_format.h"
#include "engine/line_buffer.h"
#include "engine/user_notes.h"

constexpr int64_t kAddressCount = 65536;
constexpr int64_t kLastAddress = 0xFFFF;
constexpr int64_t kDefaultStartAddress = 0x0400;
constexpr int kBitmapBytes = 8192;

// What is known about one address.
struct AddressInfo {
    uint8_t isCode;     // 1: code, or not yet decided against; 0: data
    uint8_t isEntry;    // 1: code or a block may start here
    uint8_t blockKind;  // data-block mode: 'W' address table, 'B' bytes, 0 never set
};

// One bit per address; the most significant bit of a byte stands for the lowest of its addresses.
using Bitmap = std::array<uint8_t, kBitmapBytes>;

// A block option (-bc, -bd, -bac, -bad) as given: kind 'c', 'd', 'C' or 'D'.
struct BlockHint {
    int64_t address;
    char kind;
};

// The tables of a layer, kept while another layer is worked on (layers.h).
struct KeptLayer {
    std::vector<AddressInfo> addressInfo;  // of its Code and Data regions, one after another
    Bitmap referencedMap;
    Bitmap codeRefMap;
};

constexpr std::array<uint8_t, 8> bitMasks = {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01};
constexpr char hexDigits[] = "0123456789ABCDEF";

struct RunState {
    // Options.
    int64_t startAddress = 0;
    int64_t skipCount = 0;
    char dataStyle = 'D';
    uint8_t useLabelFile = 0;
    uint8_t dataBlockOnly = 0;
    uint8_t mnemonicsOff = 0;

    // Source.
    std::string sourceName;
    std::string sourcePath;
    int64_t imageSize = 0;

    // The image: which file bytes load where (image_map.h); the region being read, and the
    // layer whose picture of memory the tables hold.
    ImageMap image;
    int currentRegion = 0;
    int currentLayer = 0;
    std::string labelPrefix = "E_";  // of the generated labels of the current layer
    std::vector<KeptLayer> keptLayers;
    uint8_t atariFiles = 0;  // -x: read the source as the Atari file it is
    std::vector<BlockHint> blockHints;
    std::vector<std::string> optionFiles;  // the files @FILE read options from

    // Names and comments the user gives (user_notes.h); the addresses named; and the listing's
    // lines that hold bytes, for placing the comments.
    std::vector<UserName> userNames;
    std::vector<UserComment> userComments;
    Bitmap userNamed{};
    std::vector<ListedLine> listedLines;

    // Per-address knowledge; reach it through the accessors below. The table is set up a chunk
    // at a time, when a chunk is first used (preparedChunks, bit k for the chunk of addresses
    // from k * kTableChunk on): a chunk not yet set up reads as every address reads at the start
    // of a run, and its memory is never touched, so a small image costs a few pages, not 48.
    std::array<AddressInfo, kAddressCount> addressInfo;
    uint64_t preparedChunks = 0;
    Bitmap referencedMap{};   // seen as an operand value
    Bitmap codeRefMap{};      // operand of an accepted instruction, or a block option address
    Bitmap namedAddresses{};  // the label file names the address

    // Opcode table: the pattern of each byte value, empty for no instruction; and how the
    // listing writes each one (set up by the listing).
    std::array<std::string, 256> mnemonicTable;
    std::vector<InstructionTemplate> instructionTemplates;

    // Pass and phase control.
    uint8_t phase = 0;  // 0 loading, 1 analysis, 2 listing and data blocks, 3 final file
    uint8_t passAgain = 0;
    uint8_t acceptInstruction = 0;
    uint8_t firstByteClass = 0;

    // Current position and instruction.
    int64_t currentAddress = 0;
    uint8_t currentByte = 0;
    uint8_t instructionLength = 0;
    std::array<uint8_t, 2> operandBytes{};
    int64_t operandValue = 0;
    std::string operandText;
    std::string anchorLabel;

    // Writers.
    std::string outLine;
    LineBuffer pendingLine;
    bool pendingIsMarker = false;  // the held-back "line" is the no-line marker
    // The addresses the line being queued holds, and those the held-back line holds, with its
    // region (for placing comments).
    int64_t lineFirst = 0, lineEnd = 0;
    int64_t pendingFirst = 0, pendingEnd = 0;
    int pendingRegion = 0;
    int64_t itemCount = 0;
    uint8_t prevByte = 0;
    int dataColumn = 0;
    // The listing as the listing phase wrote it, kept for the final phase when it is small
    // enough (listingKept), and the inner-label entries it wrote: key, replacement.
    std::string listingText;
    bool listingKept = false;
    std::vector<std::pair<std::string, std::string>> innerLabels;
    size_t nameWidth = 0;

    // Readers.
    std::string workLine;
    std::string workToken;
    std::string rawLine;

    // Files shared between routines of one phase.
    ByteFile sourceFile;
    TextWriter asmFile;
    TextWriter tmpFile;

    // The label file's lines, read once when the names are loaded: their texts one after another
    // and where each ends (see LabelLine).
    std::string labelText;
    std::vector<uint32_t> labelLineEnds;

    // Names from the names file: the addresses that have one (nameKeys), and for each of them
    // the number of its name (nameOfKey); name k starts at nameStarts[k] in nameText and ends
    // where the next begins.
    bool namesIndexLoaded = false;
    Bitmap nameKeys{};
    std::unique_ptr<uint16_t[]> nameOfKey;  // read only where nameKeys is set
    std::string nameText;
    std::vector<uint32_t> nameStarts;

    // Console.
    std::FILE* console = stdout;
    bool consoleLineOpen = false;
    int consoleTerminal = -1;  // whether the console is a terminal; -1 not asked yet
};

// ---- Address-space accessors. Addresses outside $0000-$FFFF read as all zero and writes to them
// ---- are ignored, so no caller can index a table outside it.

inline bool InAddressSpace(int64_t address) {
    return address >= 0 && address <= kLastAddress;
}

// ---- The address table's chunks. Code that reads or writes addressInfo directly, rather than
// ---- through InfoAt and the setters, first prepares the addresses it will use.

constexpr int kTableChunkBits = 10;
constexpr int64_t kTableChunk = int64_t{1} << kTableChunkBits;
static_assert(kAddressCount / kTableChunk == 64, "one bit of preparedChunks a chunk");

// What an address holds at the start of a run: code, no entry point, no block kind; $FFFF is
// data (no instruction may start on the last address of memory).
inline AddressInfo StartInfo(int64_t address) {
    return AddressInfo{static_cast<uint8_t>(address != kLastAddress), 0, 0};
}

inline bool IsPrepared(const RunState& state, int64_t address) {
    return ((state.preparedChunks >> (address >> kTableChunkBits)) & 1) != 0;
}

// Sets up the chunk that holds the address (within $0000-$FFFF) with the start values.
void PrepareChunk(RunState& state, int64_t address);

// Sets up every chunk that holds an address of [first, end), clipped to $0000-$FFFF.
inline void PrepareAddresses(RunState& state, int64_t first, int64_t end) {
    first = first < 0 ? 0 : first;
    end = end > kAddressCount ? kAddressCount : end;
    for (int64_t a = first; a < end; a = (a | (kTableChunk - 1)) + 1) {
        if (!IsPrepared(state, a)) PrepareChunk(state, a);
    }
}

inline AddressInfo InfoAt(const RunState& state, int64_t address) {
    if (!InAddressSpace(address)) return AddressInfo{0, 0, 0};
    return IsPrepared(state, address) ? state.addressInfo[address] : StartInfo(address);
}
// The entry of an address within $0000-$FFFF, set up for writing.
inline AddressInfo& PreparedInfo(RunState& state, int64_t address) {
    if (!IsPrepared(state, address)) PrepareChunk(state, address);
    return state.addressInfo[address];
}
inline void SetIsCode(RunState& state, int64_t address, uint8_t value) {
    if (InAddressSpace(address)) PreparedInfo(state, address).isCode = value;
}
inline void SetIsEntry(RunState& state, int64_t address, uint8_t value) {
    if (InAddressSpace(address)) PreparedInfo(state, address).isEntry = value;
}
inline void SetBlockKind(RunState& state, int64_t address, uint8_t value) {
    if (InAddressSpace(address)) PreparedInfo(state, address).blockKind = value;
}

inline bool TestBit(const Bitmap& map, int64_t address) {
    return InAddressSpace(address) && (map[address >> 3] & bitMasks[address & 7]) != 0;
}
inline void SetBit(Bitmap& map, int64_t address) {
    if (InAddressSpace(address)) map[address >> 3] |= bitMasks[address & 7];
}
inline void ClearBit(Bitmap& map, int64_t address) {
    if (InAddressSpace(address)) map[address >> 3] &= static_cast<uint8_t>(~bitMasks[address & 7]);
}

// ---- The image.

inline const Region& CurrentRegion(const RunState& state) {
    return state.image.regions[static_cast<size_t>(state.currentRegion)];
}
