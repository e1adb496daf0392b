#include "engine/machine_data.h"

#include <algorithm>

#include "files/byte_file.h"

namespace {

constexpr int kMaxInstructions = 1024;  // a display list longer than this is no display list
constexpr int64_t kFontSize = 1024;
constexpr int64_t kScreenLine = 40;  // a copy loop without a count copies a line

// The bytes a mode line of the mode shows at the normal playfield width.
int64_t BytesPerLine(int mode) {
    static constexpr int64_t kBytes[16] = {0,  0,  40, 40, 40, 40, 20, 20,
                                           10, 10, 20, 20, 20, 40, 40, 40};
    return kBytes[mode & 15];
}

struct Finder {
    RunState& state;
    Picture& picture;
    std::vector<HeldRange> held;
    std::vector<int64_t> pending;  // display lists still to decode
    std::vector<int64_t> decoded;
    std::vector<std::pair<int64_t, int64_t>> screens;  // [first, end) of the screens found
    bool added = false;

    void Label(int64_t address) {
        if (std::find(picture.labels.begin(), picture.labels.end(), address) !=
            picture.labels.end()) {
            return;
        }
        picture.labels.push_back(address);
        added = true;
    }

    // The region of the picture that holds the address, and its byte there, or -1.
    int RegionAt(int64_t address) const { return RegionInPicture(state.image, picture, address); }
    uint8_t ByteAt(const Region& r, int64_t address) {
        state.sourceFile.Seek(FileOffsetOf(r, address));
        return state.sourceFile.ReadByte();
    }

    // Holds [first, end) as data of the shape, in whichever Code regions of the picture hold it.
    void Hold(int64_t first, int64_t end, DataShape shape) {
        for (const auto& [start, index] : picture.lookup) {
            const Region& r = state.image.regions[static_cast<size_t>(index)];
            if (r.kind == RegionKind::Code && start < end && EndAddress(r) > first) {
                held.push_back(
                    {index, std::max(first, start), std::min(end, EndAddress(r)), shape});
            }
        }
    }

    // True when the address lies in screen memory found so far, or held as screen before.
    bool IsScreen(int64_t address) const {
        for (const auto& [first, end] : screens) {
            if (address >= first && address < end) return true;
        }
        const int index = RegionAt(address);
        return index >= 0 &&
               state.image.regions[static_cast<size_t>(index)].shape == DataShape::Screen;
    }

    void DecodeDisplayList(int64_t start) {
        if (std::find(decoded.begin(), decoded.end(), start) != decoded.end()) return;
        decoded.push_back(start);
        const int index = RegionAt(start);
        if (index < 0) return;
        const Region r = state.image.regions[static_cast<size_t>(index)];
        Label(start);
        int64_t at = start;
        int64_t screen = -1, screenEnd = -1;  // the screen memory of the last load-memory-scan
        const auto endScreen = [&]() {
            if (screen < 0 || screenEnd <= screen) return;
            screens.emplace_back(screen, screenEnd);
            Hold(screen, screenEnd, DataShape::Screen);
        };
        for (int count = 0; count < kMaxInstructions && at < EndAddress(r); ++count) {
            const uint8_t b = ByteAt(r, at);
            const int length = DisplayListStep(b);
            const bool jump = (b & 0x0F) == 1;
            if (at + length > EndAddress(r) || (jump && (b & 0x30) != 0)) break;
            const int64_t target =
                length == 3 ? ByteAt(r, at + 1) + 256 * int64_t{ByteAt(r, at + 2)} : -1;
            at += length;
            if (jump) {
                Label(target);
                if ((b & 0x40) == 0) pending.push_back(target);  // more display list there
                break;                                           // a jump ends this list
            }
            if ((b & 0x0F) == 0) continue;  // blank lines
            if (length == 3) {              // load memory scan: a new screen
                endScreen();
                screen = screenEnd = target;
                Label(target);
            }
            if (screenEnd >= 0) screenEnd += BytesPerLine(b & 0x0F);
        }
        endScreen();
        Hold(start, at, DataShape::DisplayList);
    }
};

}  // namespace

int DisplayListStep(uint8_t instruction) {
    const bool jump = (instruction & 0x0F) == 1;
    const bool scan = (instruction & 0x0F) >= 2 && (instruction & 0x40) != 0;
    return jump || scan ? 3 : 1;
}

std::vector<HeldRange> FindMachineData(RunState& state, Picture& picture,
                                       const StoredPointers& stores, bool& added) {
    Finder finder{state, picture, {}, stores.displayLists, {}, {}, false};
    while (!finder.pending.empty()) {
        const int64_t start = finder.pending.front();
        finder.pending.erase(finder.pending.begin());
        finder.DecodeDisplayList(start);
    }
    // Text that the code copies into screen memory is screen text too.
    for (const StoredPointers::Copy& copy : stores.copies) {
        if (!finder.IsScreen(copy.target)) continue;
        const int64_t count = copy.count > 0 ? copy.count : kScreenLine;
        finder.Label(copy.source);
        finder.Hold(copy.source, copy.source + count, DataShape::Screen);
    }
    for (int64_t font : stores.fonts) {
        if (finder.RegionAt(font) < 0) continue;
        finder.Label(font);
        finder.Hold(font, font + kFontSize, DataShape::Font);
    }
    added = finder.added;
    return finder.held;
}
