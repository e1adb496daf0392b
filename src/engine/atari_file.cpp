#include "engine/atari_file.h"

#include <algorithm>
#include <string>
#include <vector>

#include "core/address_table.h"
#include "engine/text_helpers.h"
#include "files/byte_file.h"
#include "files/stops.h"

namespace {

constexpr int64_t kRunAddressWord = 0x02E0;   // RUNAD
constexpr int64_t kInitAddressWord = 0x02E2;  // INITAD
constexpr int64_t kMarker = 0xFFFF;           // stands before a load file's segment headers
constexpr int64_t kCartridgeHeaderSize = 16;
constexpr int64_t kTrailerSize = 6;  // run address, a zero byte, the flags, init address
constexpr int kRunFlag = 0x04;       // in the flags: jump to the run address after the init
constexpr int kNever = INT32_MAX;    // no segment loads over the byte

struct CartridgeType {
    int type;
    int64_t size;
    int64_t address;
};
constexpr CartridgeType kCartridgeTypes[] = {
    {1, 0x2000, 0xA000}, {2, 0x4000, 0x8000}, {21, 0x2000, 0x8000}};

// Bytes the system reads: an address word (the run or init address, a CPU vector), or data
// (a cartridge's zero byte and flags).
enum class WordRole { Run, Init, Vector, NoWord };
struct Place {
    int64_t address;
    int64_t length;
    WordRole role;
    const char* name;
};

std::string Hex4(int64_t value) {
    return "$" + FormatHex(value, 4);
}

struct Reader {
    RunState& state;
    ByteFile file;
    ImageMap map;
    Bitmap occupied{};                               // the addresses the current layer holds
    std::vector<std::pair<size_t, WordRole>> words;  // the address words: region, role
    int64_t runWord = -1;  // the region of the run address that counts (the last one)

    uint8_t ByteAt(int64_t offset) {
        file.Seek(offset);
        return file.ReadByte();
    }
    int64_t WordAt(int64_t offset) { return ByteAt(offset) + 256 * ByteAt(offset + 1); }
    uint32_t BigEndianAt(int64_t offset) {
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i) value = value << 8 | ByteAt(offset + i);
        return value;
    }

    [[noreturn]] void Stop(const std::string& what) { throw ErrorStop{"ERROR: " + what}; }

    // Adds a region; words get their value.
    void Add(RegionKind kind, int64_t offset, int64_t length, int64_t address, int segment) {
        Region r;
        r.kind = kind;
        r.fileOffset = offset;
        r.length = length;
        r.address = address;
        r.layer = map.layerCount - 1;
        r.segment = segment;
        if (kind == RegionKind::Words) r.wordValue = WordAt(offset);
        map.regions.push_back(r);
    }

    // The bytes [address, address + length) at the file offset, cut into Code regions and the
    // places (address words, or data where a word is only partly there).
    void AddBody(int64_t offset, int64_t address, int64_t length, int segment,
                 const std::vector<Place>& places, std::string* notes) {
        const int64_t end = address + length;
        int64_t at = address;
        for (const Place& p : places) {
            const int64_t first = std::max(p.address, at);
            const int64_t last = std::min(p.address + p.length, end);
            if (first >= last) continue;
            if (first > at) Add(RegionKind::Code, offset + (at - address), first - at, at, segment);
            const bool word =
                p.role != WordRole::NoWord && first == p.address && last == p.address + p.length;
            Add(word ? RegionKind::Words : RegionKind::Data, offset + (first - address),
                last - first, first, segment);
            if (word) NoteWord(p, notes);
            at = last;
        }
        if (at < end) Add(RegionKind::Code, offset + (at - address), end - at, at, segment);
    }

    // Remembers what a word is for: the run address that counts, each init address.
    void NoteWord(const Place& p, std::string* notes) {
        const size_t index = map.regions.size() - 1;
        words.emplace_back(index, p.role);
        if (p.role == WordRole::Run) runWord = static_cast<int64_t>(index);
        if (notes && p.role != WordRole::Vector) {
            *notes += ", " + std::string(p.name) + " " + Hex4(map.regions[index].wordValue);
        }
    }

    // A segment whose bytes load over bytes of the current layer starts the next layer. The
    // run and init words do not count: programs write them again and again.
    // Only whole run and init words are passed over: a segment that loads one byte of such a
    // word is data there, and a byte of data loaded twice in one layer would carry one label
    // twice.
    void PlaceInLayer(int64_t first, int64_t last) {
        bool overlaps = false;
        for (int64_t a = first; a <= last && !overlaps; ++a) {
            overlaps = !IsWholeSystemWordByte(a, first, last) && TestBit(occupied, a);
        }
        if (overlaps) {
            ++map.layerCount;
            occupied.fill(0);
        }
        for (int64_t a = first; a <= last; ++a) {
            if (!IsWholeSystemWordByte(a, first, last)) SetBit(occupied, a);
        }
    }
    // A byte of RUNAD or INITAD that the segment [first, last] loads with the rest of its word.
    static bool IsWholeSystemWordByte(int64_t a, int64_t first, int64_t last) {
        if (a < kRunAddressWord || a >= kInitAddressWord + 2) return false;
        const int64_t word = a & ~int64_t{1};
        return first <= word && word + 1 <= last;
    }

    void ReadLoadFile(int64_t offset, int64_t size);
    void ReadCartridge(int64_t offset, int64_t size);
    void ReadRaw(int64_t size);
    void FindEntries();
    std::vector<int> CutAtOverwrites();
    void FindLoadFilePictures();
    void FindSinglePicture(bool startsAreEntries);
    void PointWordsIntoPictures();
    void TakePictures(std::vector<int> moments, const std::vector<int>& death);
    int RegionOfLayer(int layer, int64_t address) const;
    void GiveHintsToPictures();
};

std::vector<Place> LoadFilePlaces() {
    return {{kRunAddressWord, 2, WordRole::Run, "run address"},
            {kInitAddressWord, 2, WordRole::Init, "init address"},
            {0xFFFA, 2, WordRole::Vector, "NMI"},
            {0xFFFC, 2, WordRole::Vector, "RESET"},
            {0xFFFE, 2, WordRole::Vector, "IRQ"}};
}

void Reader::ReadLoadFile(int64_t offset, int64_t size) {
    const std::string name = "Load file " + state.sourceName;
    while (offset < size) {
        const int64_t headerStart = offset;
        int markers = 0;
        while (offset + 2 <= size && WordAt(offset) == kMarker) {
            ++markers;
            offset += 2;
        }
        if (offset >= size && map.segments.empty()) Stop(name + " holds no segment.");
        if (offset + 4 > size) {
            Stop(name + ": the segment header at offset " + Hex4(headerStart) + " is cut short.");
        }
        const int64_t first = WordAt(offset);
        const int64_t last = WordAt(offset + 2);
        const int number = static_cast<int>(map.segments.size()) + 1;
        const std::string segmentName = name + ": segment " + std::to_string(number);
        if (last < first) {
            Stop(segmentName + " ends at " + Hex4(last) + ", before its start " + Hex4(first) +
                 ".");
        }
        offset += 4;
        const int64_t length = last - first + 1;
        if (offset + length > size) {
            Stop(segmentName + " (" + Hex4(first) + "-" + Hex4(last) +
                 ") runs past the end of the file.");
        }
        PlaceInLayer(first, last);
        const int segment = static_cast<int>(map.segments.size());
        map.segments.emplace_back();
        std::string header = "\tdta ";
        for (int i = 0; i < markers; ++i) header += "a($FFFF),";
        map.segments.back().headerLines.push_back(header + "a(" + Hex4(first) + "),a(" +
                                                  Hex4(last) + ")");
        Add(RegionKind::Header, headerStart, offset - headerStart, 0, segment);
        std::string notes;
        AddBody(offset, first, length, segment, LoadFilePlaces(), &notes);
        map.segments.back().comment = "; segment " + std::to_string(number) + ": " + Hex4(first) +
                                      "-" + Hex4(last) + ", " + std::to_string(length) +
                                      (length == 1 ? " byte" : " bytes") + notes;
        offset += length;
    }
}

void Reader::ReadCartridge(int64_t offset, int64_t size) {
    const std::string name = "Cartridge " + state.sourceName;
    if (size - offset < kCartridgeHeaderSize) Stop(name + ": the header is cut short.");
    const uint32_t type = BigEndianAt(offset + 4);
    const uint32_t checksum = BigEndianAt(offset + 8);
    const CartridgeType* kind = nullptr;
    for (const CartridgeType& t : kCartridgeTypes) {
        if (static_cast<uint32_t>(t.type) == type) kind = &t;
    }
    if (!kind) {
        Stop(name + " has type " + std::to_string(type) +
             " (bank-switched, or for the 5200); -x reads types 1, 2 and 21. For one bank, "
             "skip the header and give the bank's address: -s16 -a$A000.");
    }
    const int64_t romOffset = offset + kCartridgeHeaderSize;
    if (size - romOffset != kind->size) {
        Stop(name + ": type " + std::to_string(kind->type) + " holds " +
             std::to_string(kind->size) + " bytes of ROM, the file " +
             std::to_string(size - romOffset) + ".");
    }
    uint32_t sum = 0;
    file.Seek(romOffset);
    for (int64_t i = 0; i < kind->size; ++i) sum += file.ReadByte();
    if (sum != checksum) {
        map.warnings.push_back("Warning: cartridge checksum $" + FormatHex(checksum, 8) +
                               " does not match its ROM ($" + FormatHex(sum, 8) + ").");
    }

    map.segments.emplace_back();
    Segment& segment = map.segments.back();
    segment.comment = "; cartridge type " + std::to_string(kind->type) + ": " +
                      Hex4(kind->address) + "-" + Hex4(kind->address + kind->size - 1) + ", " +
                      std::to_string(kind->size) + " bytes";
    std::string bytes = "\tdta c'CART'";
    for (int64_t i = 4; i < kCartridgeHeaderSize; ++i) {
        bytes += ",$" + FormatHex(ByteAt(offset + i), 2);
    }
    segment.headerLines.push_back(bytes);
    Add(RegionKind::Header, offset, kCartridgeHeaderSize, 0, 0);
    const int64_t trailer = kind->address + kind->size - kTrailerSize;
    AddBody(romOffset, kind->address, kind->size, 0,
            {{trailer, 2, WordRole::Run, "run address"},
             {trailer + 2, 2, WordRole::NoWord, "flags"},
             {trailer + 4, 2, WordRole::Init, "init address"}},
            nullptr);
    const int64_t run = WordAt(romOffset + kind->size - kTrailerSize);
    const int flags = ByteAt(romOffset + kind->size - kTrailerSize + 3);
    const int64_t init = WordAt(romOffset + kind->size - kTrailerSize + 4);
    map.found = "Cartridge type " + std::to_string(kind->type) + ": " +
                std::to_string(kind->size / 1024) + " KB at " + Hex4(kind->address) +
                ((flags & kRunFlag) ? ", run " + Hex4(run) : "") + ", init " + Hex4(init);
    if (!(flags & kRunFlag)) runWord = -1;  // the operating system does not jump there
}

void Reader::ReadRaw(int64_t size) {
    ImageMap raw = RawImageMap(state.startAddress, state.skipCount, size);
    const Region whole = raw.regions[0];
    map.segments = raw.segments;
    AddBody(whole.fileOffset, whole.address, whole.length, 0,
            {{0xFFFA, 2, WordRole::Vector, "NMI"},
             {0xFFFC, 2, WordRole::Vector, "RESET"},
             {0xFFFE, 2, WordRole::Vector, "IRQ"}},
            nullptr);
    if (map.regions.empty()) map.regions.push_back(whole);  // an empty image
    map.found = "Raw image: " + std::to_string(whole.length) + " bytes at " + Hex4(whole.address);
    for (const Region& r : map.regions) {
        if (r.kind != RegionKind::Words) continue;
        const char* name = r.address == 0xFFFA ? "NMI" : r.address == 0xFFFC ? "RESET" : "IRQ";
        map.found += (r.address == 0xFFFA ? ", vectors " : " ") + std::string(name) + " " +
                     Hex4(r.wordValue);
    }
}

// The layer an address word points into, and the entry points: the run address that counts
// (in the last layer that holds it: the program runs once everything is loaded), every init
// address (in the latest layer up to its own that holds it: it is called as soon as its segment
// is loaded), and the vectors (the last layer that holds them).
void Reader::FindEntries() {
    std::vector<int64_t> inits;
    for (const auto& [index, role] : words) {
        Region& r = map.regions[index];
        const int top = role == WordRole::Init ? r.layer : map.layerCount - 1;
        for (int layer = top; layer >= 0 && r.targetLayer < 0; --layer) {
            if (LiesInLayer(map, layer, r.wordValue)) r.targetLayer = layer;
        }
        if (role == WordRole::Init) inits.push_back(r.wordValue);
        const bool isEntry = role == WordRole::Init || role == WordRole::Vector ||
                             static_cast<int64_t>(index) == runWord;
        if (isEntry && r.targetLayer >= 0) map.entries.push_back({r.wordValue, r.targetLayer});
    }
    if (!map.found.empty()) return;
    map.found = "Load file: " + std::to_string(map.segments.size()) + " segments";
    if (map.layerCount > 1) map.found += " in " + std::to_string(map.layerCount) + " layers";
    if (runWord >= 0) map.found += ", run " + Hex4(map.regions[runWord].wordValue);
    std::vector<int64_t> seen;
    for (int64_t value : inits) {
        if (std::find(seen.begin(), seen.end(), value) != seen.end()) continue;
        map.found += (seen.empty() ? ", init " : " ") + Hex4(value);
        seen.push_back(value);
    }
}

// Cuts the Code and Data regions of a load file where the segment that first loads over their
// bytes changes, so that each region is held whole by the pictures that hold it. Returns, for
// each region, that segment (kNever: none does); a word's is that of its first byte overwritten.
std::vector<int> Reader::CutAtOverwrites() {
    std::vector<int> deathAt(static_cast<size_t>(kAddressCount), kNever);
    std::vector<Region> cut;    // the new regions, segments last to first
    std::vector<int> cutDeath;  // their segments of overwriting
    std::vector<size_t> newIndex(map.regions.size());
    size_t end = map.regions.size();
    while (end > 0) {
        // The regions of one segment: [begin, end).
        size_t begin = end - 1;
        const int segment = map.regions[begin].segment;
        while (begin > 0 && map.regions[begin - 1].segment == segment) --begin;
        for (size_t i = end; i-- > begin;) {
            const Region& r = map.regions[i];
            if (!HasAddresses(r) || r.length <= 0) {
                cut.push_back(r);
                cutDeath.push_back(kNever);
                newIndex[i] = cut.size() - 1;
                continue;
            }
            const bool splits = r.kind == RegionKind::Code || r.kind == RegionKind::Data;
            const auto deathOf = [&](int64_t a) {
                return InAddressSpace(a) ? deathAt[static_cast<size_t>(a)] : kNever;
            };
            // Pieces from the last to the first, as the regions go in this reversed list.
            int64_t pieceEnd = EndAddress(r);
            int death = kNever;
            for (int64_t a = r.address; a < EndAddress(r); ++a) death = std::min(death, deathOf(a));
            if (!splits) {
                cut.push_back(r);
                cutDeath.push_back(death);
                newIndex[i] = cut.size() - 1;
                continue;
            }
            while (pieceEnd > r.address) {
                const int pieceDeath = deathOf(pieceEnd - 1);
                int64_t pieceStart = pieceEnd - 1;
                while (pieceStart > r.address && deathOf(pieceStart - 1) == pieceDeath)
                    --pieceStart;
                Region piece = r;
                piece.address = pieceStart;
                piece.length = pieceEnd - pieceStart;
                piece.fileOffset = FileOffsetOf(r, pieceStart);
                cut.push_back(piece);
                cutDeath.push_back(pieceDeath);
                pieceEnd = pieceStart;
            }
            newIndex[i] = cut.size() - 1;  // its first piece
        }
        for (size_t i = begin; i < end; ++i) {
            const Region& r = map.regions[i];
            if (!HasAddresses(r)) continue;
            for (int64_t a = std::max<int64_t>(r.address, 0);
                 a < std::min(EndAddress(r), kAddressCount); ++a) {
                deathAt[static_cast<size_t>(a)] = segment;
            }
        }
        end = begin;
    }
    std::reverse(cut.begin(), cut.end());
    std::reverse(cutDeath.begin(), cutDeath.end());
    for (auto& word : words) word.first = cut.size() - 1 - newIndex[word.first];
    if (runWord >= 0) runWord = static_cast<int64_t>(cut.size() - 1 - newIndex[runWord]);
    map.regions = std::move(cut);
    return cutDeath;
}

// The pictures of a load file: one right after each segment that sets an init address, and the
// final one, after the whole file (a segment that sets an init address and is the last gives
// one picture with both). A region loaded by segment g and first loaded over by segment d is
// held by the pictures of the segments from g up to d; its owner is the last of them. A block
// option meant for a layer whose bytes there no picture holds adds the picture of the end of
// that layer.
void Reader::FindLoadFilePictures() {
    const std::vector<int> death = CutAtOverwrites();
    std::vector<int> moments;  // the segment after which each picture is taken
    for (const auto& [index, role] : words) {
        if (role == WordRole::Init) moments.push_back(map.regions[index].segment);
    }
    moments.push_back(static_cast<int>(map.segments.size()) - 1);
    TakePictures(moments, death);
    bool added = false;
    for (const BlockHint& hint : state.blockHints) {
        const int region = RegionOfLayer(hint.layer, hint.address);
        if (region < 0 || map.regions[static_cast<size_t>(region)].owner >= 0) continue;
        int last = 0;  // the last segment of the layer
        for (const Region& r : map.regions) {
            if (r.layer == hint.layer) last = std::max(last, r.segment);
        }
        moments.push_back(last);
        added = true;
    }
    if (added) TakePictures(moments, death);
}

// The pictures taken right after the given segments (in any order, repeats allowed).
void Reader::TakePictures(std::vector<int> moments, const std::vector<int>& death) {
    std::sort(moments.begin(), moments.end());
    moments.erase(std::unique(moments.begin(), moments.end()), moments.end());
    map.pictures.assign(moments.size(), Picture{});
    for (size_t k = 0; k < moments.size(); ++k) map.pictures[k].afterSegment = moments[k];
    map.pictures.back().final = true;
    const auto pictureAt = [&](int segment) {
        return static_cast<size_t>(std::lower_bound(moments.begin(), moments.end(), segment) -
                                   moments.begin());
    };
    std::vector<int> roleOf(map.regions.size(), -1);  // the address words' roles
    for (const auto& [index, role] : words) roleOf[index] = static_cast<int>(role);
    for (size_t i = 0; i < map.regions.size(); ++i) {
        Region& r = map.regions[i];
        r.owner = -1;
        if (!HasAddresses(r)) continue;
        const size_t from = pictureAt(r.segment);
        const size_t to = death[i] == kNever ? moments.size() : pictureAt(death[i]);
        const bool codeOrData = r.kind == RegionKind::Code || r.kind == RegionKind::Data;
        for (size_t k = from; k < to; ++k) {
            Picture& p = map.pictures[k];
            (r.kind == RegionKind::Code ? p.regions : p.dataRegions).push_back(static_cast<int>(i));
            if (codeOrData) p.lookup.emplace_back(r.address, static_cast<int>(i));
        }
        if (from < to && codeOrData) r.owner = static_cast<int>(to - 1);
        if (r.kind != RegionKind::Words || from >= to || roleOf[i] < 0) continue;
        // The address words: an init address runs in the picture of its segment, the run
        // address and the vectors in the final one, and only where they are still there then.
        const WordRole role = static_cast<WordRole>(roleOf[i]);
        if (role == WordRole::Init) {
            map.pictures[from].entries.push_back(r.wordValue);
        } else if (to == moments.size() &&
                   (role == WordRole::Vector || static_cast<int64_t>(i) == runWord)) {
            map.pictures.back().entries.push_back(r.wordValue);
        }
    }
}

// The Code or Data region of the layer that holds the address, or -1.
int Reader::RegionOfLayer(int layer, int64_t address) const {
    if (layer < 0) return -1;
    for (size_t i = 0; i < map.regions.size(); ++i) {
        const Region& r = map.regions[i];
        if (r.layer == layer && (r.kind == RegionKind::Code || r.kind == RegionKind::Data) &&
            address >= r.address && address < EndAddress(r)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// Gives each block option to its picture: one meant for a layer to the picture that owns that
// layer's bytes at its address, any other to the final picture. A range of data is cut out of
// the picture's Code regions; a range of code is noted for the picture.
void Reader::GiveHintsToPictures() {
    std::vector<HeldRange> held;
    for (size_t i = 0; i < state.blockHints.size(); ++i) {
        const BlockHint& hint = state.blockHints[i];
        const int region = RegionOfLayer(hint.layer, hint.address);
        const int owner = region < 0 ? -1 : map.regions[static_cast<size_t>(region)].owner;
        Picture& p = owner >= 0 ? map.pictures[static_cast<size_t>(owner)] : map.pictures.back();
        p.hints.push_back(static_cast<int>(i));
        if (hint.last < 0 || (hint.kind != 'c' && hint.kind != 'd')) continue;
        const int64_t end = hint.last + 1;
        if (hint.kind == 'c') {
            p.codeRanges.emplace_back(hint.address, end);
            continue;
        }
        for (const auto& [first, index] : p.lookup) {
            const Region& r = map.regions[static_cast<size_t>(index)];
            if (r.kind == RegionKind::Code && first < end && EndAddress(r) > hint.address &&
                (hint.layer < 0 || r.layer == hint.layer)) {
                held.push_back({index, hint.address, end, DataShape::Bytes});
            }
        }
    }
    if (!held.empty()) HoldRanges(map, held);
}

// A cartridge or a raw image: one picture, the final one, of all its regions.
void Reader::FindSinglePicture(bool startsAreEntries) {
    Picture p;
    p.final = true;
    p.startsAreEntries = startsAreEntries;
    for (size_t i = 0; i < map.regions.size(); ++i) {
        Region& r = map.regions[i];
        if (!HasAddresses(r)) continue;
        if (r.kind == RegionKind::Code) p.regions.push_back(static_cast<int>(i));
        if (r.kind != RegionKind::Code) p.dataRegions.push_back(static_cast<int>(i));
        if (r.kind == RegionKind::Code || r.kind == RegionKind::Data) {
            p.lookup.emplace_back(r.address, static_cast<int>(i));
            r.owner = 0;
        }
    }
    for (const ImageEntry& entry : map.entries) p.entries.push_back(entry.address);
    map.pictures.push_back(std::move(p));
}

// Points each address word into the picture it is read in: an init address into the one taken
// right after its segment, the run address and the vectors into the final one.
void Reader::PointWordsIntoPictures() {
    for (const auto& [index, role] : words) {
        Region& r = map.regions[index];
        const Picture* picture = &map.pictures.back();
        if (role == WordRole::Init) {
            for (const Picture& p : map.pictures) {
                if (p.afterSegment >= r.segment) {
                    picture = &p;
                    break;
                }
            }
        }
        const int region = RegionInPicture(map, *picture, r.wordValue);
        r.targetLayer = region < 0 ? -1 : map.regions[static_cast<size_t>(region)].layer;
    }
}

}  // namespace

void ReadAtariFile(RunState& state) {
    Reader reader{state, {}, {}, {}, {}, -1};
    reader.file.Open(state.sourceName);
    const int64_t size = reader.file.Size();
    const int64_t offset = state.skipCount;
    auto startsWith = [&](const std::string& text) {
        if (size - offset < static_cast<int64_t>(text.size())) return false;
        for (size_t i = 0; i < text.size(); ++i) {
            if (reader.ByteAt(offset + static_cast<int64_t>(i)) != static_cast<uint8_t>(text[i])) {
                return false;
            }
        }
        return true;
    };
    // The analysis works on pictures of memory; the data-block mode on layers alone.
    const bool pictures = state.dataBlockOnly != 1;
    if (startsWith("\xFF\xFF")) {
        reader.ReadLoadFile(offset, size);
        reader.FindEntries();
        if (pictures) reader.FindLoadFilePictures();
    } else {
        const bool cartridge = startsWith("CART");
        if (cartridge) {
            reader.ReadCartridge(offset, size);
        } else {
            reader.ReadRaw(size);
        }
        reader.FindEntries();
        if (pictures) reader.FindSinglePicture(!cartridge);
    }
    SortPictures(reader.map);
    if (pictures) {
        reader.PointWordsIntoPictures();
        reader.GiveHintsToPictures();
        for (const Relocation& r : state.relocations) {
            RelocateRange(reader.map, r.first, r.last - r.first + 1, r.run);
        }
    }
    IndexLayers(reader.map);
    reader.file.Close();
    state.image = std::move(reader.map);
    for (const Region& r : state.image.regions) {
        if (HasAddresses(r)) {
            state.startAddress = r.address;
            break;
        }
    }
}
