// The one store that every part of a run shares: option values, what is known about each of the
// 65536 addresses, the opcode table, the position of the passes, the writers' working texts and
// the files, with the plain records it holds. One instance lives for the whole run; every routine
// takes it by reference. The per-address tables are reached through address_table.h.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/image_map.h"
#include "core/line_buffer.h"
#include "files/byte_file.h"
#include "files/console.h"
#include "files/text_writer.h"

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

// A block option (-bc, -bd, -bac, -bad) as given: kind 'c', 'd', 'C' or 'D'; with -x, the layer
// whose bytes it is meant for (-1: those there when the program runs), and for -bc and -bd the
// last address of a range (-1: the option names one address).
struct BlockHint {
    int64_t address;
    char kind;
    int layer = -1;
    int64_t last = -1;
};

// The tables of a layer, kept while another layer is worked on (layer_tables.h): the cells of
// its Code and Data regions, one region after another in file order, and the addresses of those
// regions that carry a label, rising.
struct KeptLayer {
    std::vector<AddressInfo> addressInfo;
    std::vector<uint16_t> labels;
};

constexpr std::array<uint8_t, 8> bitMasks = {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01};

// How the listing writes an opcode's instruction: the pattern cut at its placeholder, worked out
// once per run (engine/instruction_format.cpp says which patterns take this way).
struct InstructionTemplate {
    bool direct = false;   // written from the pieces below; otherwise through FormatInstruction
    char placeholder = 0;  // 0: no operand
    uint8_t length = 1;
    bool immediate = false;                 // the pattern holds "#": no name replaces the operand
    bool jumpOrCall = false;                // "jmp" or "jsr" in the pattern: never ".w"
    std::string before, beforeWide, after;  // around the operand; beforeWide with ".w"
};

// A name given with -n, where it labels a line (layer; -1: no layer holds the address) and
// whether a line carries it (defined). engine/user_notes.h tells how names are used.
struct UserName {
    int64_t address = 0;
    std::string name;
    int layer = -1;
    bool defined = false;
};

// -r$FIRST-$LAST=$RUN: the bytes the image loads at [first, last] run at run.
struct Relocation {
    int64_t first = 0, last = 0, run = 0;
};

// A name of the label file marked as the name of its address for reading ('r') or for writing
// ('w'), upper case as operands show it.
struct AccessName {
    uint16_t address = 0;
    char access = 0;
    std::string name;
};

// A comment given with -c.
struct UserComment {
    int64_t address = 0;
    std::string text;
};

// A line of the listing that holds bytes of the image: its number (counted from 0) in the
// listing, and in the result once that is written; the addresses it holds [first, End()) and its
// region; whether it holds data. Kept only when there are comments to place or a page to write,
// one for about every byte of code: hence small.
struct ListedLine {
    static constexpr uint32_t kData = 1u << 31, kTable = 1u << 30;  // in marks

    uint64_t line;
    int64_t first;
    uint32_t length;  // a data line's comes with the next line of its region, or the region's end
    uint32_t marks;   // its region, with kData and kTable (address words of a table) set in it

    int64_t End() const { return first + length; }
    int Region() const { return static_cast<int>(marks & ~(kData | kTable)); }
    bool IsData() const { return (marks & kData) != 0; }
    bool IsTable() const { return (marks & kTable) != 0; }
};

struct RunState {
    // Options.
    int64_t startAddress = 0;
    int64_t skipCount = 0;
    char dataStyle = 'D';
    uint8_t useLabelFile = 0;
    uint8_t dataBlockOnly = 0;
    uint8_t mnemonicsOff = 0;
    uint8_t writePage = 0;  // -w: the page NAME.html beside the result

    // Source, and the result file (NAME.asm beside the image, or the file -o names).
    std::string sourceName;
    std::string outputName;  // -o
    std::string resultName;
    std::string pageName;  // with -w
    // Where the reference files are read from: the current folder, VELKOR_DATA or the
    // installation's data folder (the driver finds them).
    std::string mnemonicPath = "mnemo.qvt";
    std::string labelPath = "memory.qvt";
    std::string sourcePath;
    int64_t imageSize = 0;

    // The image: which file bytes load where (image_map.h); the region being read, and the
    // layer whose picture of memory the tables hold.
    ImageMap image;
    int currentRegion = 0;
    int currentLayer = 0;
    std::string labelPrefix = "E_";  // of the generated labels of the current layer
    std::vector<KeptLayer> keptLayers;
    std::vector<int64_t> keptOffsets;  // per region: where its cells start in its layer's table
    int labelsLayer = -1;              // the kept layer whose labels the bitmaps hold, if any
    uint8_t atariFiles = 0;            // -x: read the source as the Atari file it is
    std::vector<BlockHint> blockHints;
    std::vector<Relocation> relocations;   // -r, read with -x
    std::vector<std::string> optionFiles;  // the files @FILE read options from
    // The options files being read, outermost first (device and inode of each).
    std::vector<std::pair<uint64_t, uint64_t>> openOptionFiles;

    // Names and comments the user gives (engine/user_notes.h); the addresses named; and the
    // listing's lines that hold bytes, for placing the comments.
    std::vector<UserName> userNames;
    std::vector<UserComment> userComments;
    Bitmap userNamed{};
    std::vector<int32_t> userNameIndex;  // per address: its name in userNames, -1 none
    Bitmap labelFileLabels{};  // names of the label file that label lines (AdoptLabelFileNames)
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
    // Lines the instruction set needs at the top of the result, such as the assembler's
    // processor mode, each written after "opt h-".
    std::vector<std::string> tableDirectives;

    // Absolute operands written as a label or name below this address get ".w": an image that
    // starts in page zero can make an assembler take such a label for page zero while it
    // settles (set by the listing; $0100 when the image starts at $0100 or above).
    int64_t absoluteReach = 0x100;

    // Pass and phase control.
    uint8_t phase = 0;  // 0 loading, 1 analysis, 2 listing and data blocks, 3 final file
    uint8_t passAgain = 0;
    int64_t passCount = 0;  // passes made, for the page's summary
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
    // Names the label file marks as the read or the write name of their address ("(r)" or "(w)"
    // at the start of the comment): the addresses that have one, and the names, upper case.
    Bitmap accessNamed{};
    std::vector<AccessName> accessNames;
    Bitmap nameKeys{};
    std::unique_ptr<uint16_t[]> nameOfKey;  // read only where nameKeys is set
    std::string nameText;
    std::vector<uint32_t> nameStarts;

    Console console;
};

// The region being read.
inline const Region& CurrentRegion(const RunState& state) {
    return state.image.regions[static_cast<size_t>(state.currentRegion)];
}

// Opens the image for reading and positions it at the first byte after the skipped ones.
void OpenSource(RunState& state, const std::string& name);
