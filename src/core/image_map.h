// The image: which bytes of the source file load where.
//
// The source file is read as a list of regions, in file order. A region is a run of file bytes
// of one kind:
//   Code    bytes that load at consecutive addresses; the analysis decodes them;
//   Data    bytes that load at addresses but are data by their place (a cartridge's flags);
//   Words   address words that load at addresses (run and init addresses, vectors); never
//           decoded, written as address words;
//   Header  bytes that load nowhere (a load file's segment headers, a cartridge header); written
//           as they are.
// A raw image is a single Code region: the file from the skipped bytes on, at the start address.
// Atari files give more (engine/atari_file.h).
//
// Regions form layers. Within a layer no two regions share an address, so a layer is a picture
// of memory: the analysis works on one layer at a time with the whole 64 KB tables. A region that
// loads over bytes of its layer starts the next layer; its labels get the layer's own form.
//
// Every reader of image bytes goes through the same rule: the byte of address a in region r lies
// at file offset r.fileOffset + (a - r.address).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

enum class RegionKind : uint8_t { Code, Data, Words, Header };

// What the bytes of a Data region are, for the listing: plain bytes, or data the machine itself
// reads (an ANTIC display list, screen memory, a character set).
enum class DataShape : uint8_t { Bytes, DisplayList, Screen, Font };

struct Region {
    RegionKind kind = RegionKind::Code;
    int64_t fileOffset = 0;  // of its first byte
    int64_t length = 0;
    int64_t address = 0;  // where its first byte loads; none for a header
    int layer = 0;
    int segment = 0;  // the segment it belongs to (segments below)
    // Words regions hold one word: its value, and the layer whose picture of memory it points
    // into (-1: none holds the address).
    int64_t wordValue = 0;
    int targetLayer = -1;
    // Load files: the picture of memory whose analysis decides its bytes (-1: none does; they
    // were loaded over before anything ran). See Picture.
    int owner = -1;
    DataShape shape = DataShape::Bytes;  // Data regions
    // Code that runs elsewhere (-r): where its first byte loads; address is where it runs.
    int64_t loadAddress = -1;
};

// A piece of the file as the user knows it: a load-file segment with its header, the cartridge,
// or the raw image. Its regions follow one another in the region list.
struct Segment {
    std::string comment;                   // the line that names it (none for a raw image)
    std::vector<std::string> headerLines;  // its header bytes as source lines
};

// An address the program is started or called at (run and init addresses, vectors), and the
// layer whose picture of memory it lies in.
struct ImageEntry {
    int64_t address = 0;
    int layer = 0;
};

// A picture of memory at a moment when code runs: the memory an init address runs in (every
// segment loaded so far, later bytes over earlier ones) or the one the run address runs in
// (the whole file loaded). A picture is analysed as one image; its entry points are its own
// addresses, those that pictures before it found in bytes it still holds, and those its code
// stores into operating-system vectors. The regions of a load file are cut where a later segment
// loads over a part of them, so that each region is held whole by the pictures that hold it;
// the last of those is its owner. A layer whose regions no picture holds, and which a block
// option names, gets a picture of its own: the memory at the end of the layer.
struct Picture {
    int afterSegment = 0;          // the moment: right after this segment is loaded
    std::vector<int> regions;      // its Code regions, by rising address
    std::vector<int> dataRegions;  // its Data and Words regions: data by their place
    std::vector<int64_t> entries;  // init, run address, vectors
    std::vector<int> hints;        // the block options it takes (indexes)
    std::vector<int64_t> labels;   // addresses of data that carry a label (display lists...)
    std::vector<std::pair<int64_t, int64_t>> codeRanges;  // [first, end): code, whatever else
    bool final = false;             // the run address's picture: options without a layer
    bool startsAreEntries = false;  // a raw image: its first byte starts code
    // The Code and Data regions it holds, as (first address, region) by rising address: where a
    // reference from its code lands.
    std::vector<std::pair<int64_t, int>> lookup;
};

// The layer's Code and Data regions as address ranges, by rising address.
struct LayerRanges {
    // The first address of each, and the furthest end of it and of those before it.
    std::vector<std::pair<int64_t, int64_t>> ranges;
    std::vector<int> regions;  // in file order
};

struct ImageMap {
    std::vector<Region> regions;  // in file order
    std::vector<Segment> segments;
    std::vector<ImageEntry> entries;
    std::vector<Picture> pictures;    // load files and cartridges with -x, in the order they run
    std::vector<LayerRanges> layers;  // set up by IndexLayers
    int layerCount = 1;
    std::string found;                  // what the file turned out to be, for the console
    std::vector<std::string> warnings;  // console lines about things the run goes on with
};

// A raw image: the file from byte skip on, at the start address (no bytes when skip is at or
// past the end).
ImageMap RawImageMap(int64_t startAddress, int64_t skip, int64_t fileSize);

// The file offset of the byte of an address of the region.
inline int64_t FileOffsetOf(const Region& region, int64_t address) {
    return region.fileOffset + (address - region.address);
}
inline int64_t EndAddress(const Region& region) {
    return region.address + region.length;
}
inline int64_t EndOffset(const Region& region) {
    return region.fileOffset + region.length;
}
inline bool HasAddresses(const Region& region) {
    return region.kind != RegionKind::Header;
}

// A stretch of a Code region that is data whatever the analysis would find: a range option, a
// display list, screen memory, a character set.
struct HeldRange {
    int region = 0;
    int64_t first = 0, end = 0;  // [first, end), within the region
    DataShape shape = DataShape::Bytes;
    RegionKind kind = RegionKind::Data;  // Code: the stretch is cut out, but stays code
};

// Cuts the held ranges out of their Code regions as Data regions of their shape, and updates the
// pictures and layers to the new region list (a piece keeps its region's segment, layer and
// owner). Ranges that overlap one taken already are passed over.
void HoldRanges(ImageMap& map, std::vector<HeldRange> ranges);

// Moves the Code bytes that load at [first, first + length) to run at the run address (-r): they
// become Code regions of their own at their run addresses, held by the final picture alone (and
// owned by it), in a layer where no other region holds those addresses; the run address is an
// entry point of that picture.
void RelocateRange(ImageMap& map, int64_t first, int64_t length, int64_t run);

// Orders each picture's Code regions and its lookup by address.
void SortPictures(ImageMap& map);

// Sets up the layers' ranges (layers) from the regions.
void IndexLayers(ImageMap& map);

// The region of the picture that holds the address, and not as one of its last `margin`
// addresses; -1 when none does.
int RegionInPicture(const ImageMap& map, const Picture& picture, int64_t address,
                    int64_t margin = 0);

// True when the address lies in a Code or Data region of the layer, and not among the last
// `margin` addresses of that region. Such an address carries a label when it is a label target;
// address words carry none (run and init addresses may be written many times over).
bool LiesInLayer(const ImageMap& map, int layer, int64_t address, int64_t margin = 0);

// The indexes of the layer's Code regions, by rising address: the order the analysis walks them.
std::vector<int> CodeRegionsByAddress(const ImageMap& map, int layer);

// The form of a generated label's prefix in a layer: "E_" in the first, "E1_" in the second...
std::string LabelPrefixOfLayer(int layer);
