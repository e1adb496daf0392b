#include "core/image_map.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

ImageMap RawImageMap(int64_t startAddress, int64_t skip, int64_t fileSize) {
    ImageMap map;
    Region region;
    region.fileOffset = skip;
    region.length = std::max<int64_t>(0, fileSize - skip);
    region.address = startAddress;
    map.regions.push_back(region);
    map.segments.emplace_back();
    IndexLayers(map);
    return map;
}

void IndexLayers(ImageMap& map) {
    map.layers.assign(static_cast<size_t>(map.layerCount), LayerRanges{});
    for (size_t i = 0; i < map.regions.size(); ++i) {
        const Region& r = map.regions[i];
        if (r.kind != RegionKind::Code && r.kind != RegionKind::Data) continue;
        LayerRanges& layer = map.layers[static_cast<size_t>(r.layer)];
        layer.ranges.emplace_back(r.address, EndAddress(r));
        layer.regions.push_back(static_cast<int>(i));
    }
    // Each range's end becomes the furthest end of it and the ranges before it: ranges may
    // overlap where segments of one layer write the same system word.
    for (LayerRanges& layer : map.layers) {
        std::sort(layer.ranges.begin(), layer.ranges.end());
        for (size_t i = 1; i < layer.ranges.size(); ++i) {
            layer.ranges[i].second = std::max(layer.ranges[i].second, layer.ranges[i - 1].second);
        }
    }
}

int RegionInPicture(const ImageMap& map, const Picture& picture, int64_t address, int64_t margin) {
    const auto& lookup = picture.lookup;
    auto at = std::upper_bound(lookup.begin(), lookup.end(),
                               std::make_pair(address, static_cast<int>(map.regions.size())));
    if (at == lookup.begin()) return -1;
    const int index = std::prev(at)->second;
    const Region& r = map.regions[static_cast<size_t>(index)];
    return address < EndAddress(r) - margin ? index : -1;
}

bool LiesInLayer(const ImageMap& map, int layer, int64_t address, int64_t margin) {
    if (static_cast<size_t>(layer) < map.layers.size()) {
        // Of the ranges that start at or before the address, the last holds the furthest end.
        const auto& ranges = map.layers[static_cast<size_t>(layer)].ranges;
        auto at =
            std::upper_bound(ranges.begin(), ranges.end(), std::make_pair(address, INT64_MAX));
        return at != ranges.begin() && address < std::prev(at)->second - margin;
    }
    for (const Region& r : map.regions) {
        if (r.layer == layer && (r.kind == RegionKind::Code || r.kind == RegionKind::Data) &&
            address >= r.address && address < EndAddress(r) - margin) {
            return true;
        }
    }
    return false;
}

std::vector<int> CodeRegionsByAddress(const ImageMap& map, int layer) {
    std::vector<int> order;
    for (size_t i = 0; i < map.regions.size(); ++i) {
        const Region& r = map.regions[i];
        if (r.layer == layer && r.kind == RegionKind::Code) order.push_back(static_cast<int>(i));
    }
    std::stable_sort(order.begin(), order.end(), [&map](int a, int b) {
        return map.regions[a].address < map.regions[b].address;
    });
    return order;
}

std::string LabelPrefixOfLayer(int layer) {
    return layer == 0 ? "E_" : "E" + std::to_string(layer) + "_";
}

void SortPictures(ImageMap& map) {
    for (Picture& p : map.pictures) {
        const auto byAddress = [&map](int a, int b) {
            return map.regions[static_cast<size_t>(a)].address <
                   map.regions[static_cast<size_t>(b)].address;
        };
        std::stable_sort(p.regions.begin(), p.regions.end(), byAddress);
        std::stable_sort(p.lookup.begin(), p.lookup.end());
    }
}

void HoldRanges(ImageMap& map, std::vector<HeldRange> ranges) {
    std::stable_sort(ranges.begin(), ranges.end(), [](const HeldRange& a, const HeldRange& b) {
        return a.region != b.region ? a.region < b.region : a.first < b.first;
    });
    std::vector<Region> regions;
    std::vector<std::vector<int>> pieces(map.regions.size());  // old index -> new indexes
    size_t next = 0;                                           // in ranges
    for (size_t i = 0; i < map.regions.size(); ++i) {
        const Region& r = map.regions[i];
        int64_t at = r.address;
        const auto add = [&](int64_t first, int64_t end, RegionKind kind, DataShape shape) {
            Region piece = r;
            piece.kind = kind;
            piece.shape = shape;
            piece.address = first;
            piece.length = end - first;
            piece.fileOffset = FileOffsetOf(r, first);
            pieces[i].push_back(static_cast<int>(regions.size()));
            regions.push_back(piece);
        };
        for (; next < ranges.size() && ranges[next].region == static_cast<int>(i); ++next) {
            const HeldRange& h = ranges[next];
            const int64_t first = std::max(h.first, at);
            const int64_t end = std::min(h.end, EndAddress(r));
            if (r.kind != RegionKind::Code || first >= end) continue;
            if (first > at) add(at, first, RegionKind::Code, DataShape::Bytes);
            add(first, end, h.kind, h.kind == RegionKind::Code ? DataShape::Bytes : h.shape);
            at = end;
        }
        if (pieces[i].empty()) {
            pieces[i].push_back(static_cast<int>(regions.size()));
            regions.push_back(r);
        } else if (at < EndAddress(r)) {
            add(at, EndAddress(r), RegionKind::Code, DataShape::Bytes);
        }
    }
    map.regions = std::move(regions);
    for (Picture& p : map.pictures) {
        std::vector<int> code, data;
        std::vector<std::pair<int64_t, int>> lookup;
        const auto take = [&](int old) {
            for (int index : pieces[static_cast<size_t>(old)]) {
                const Region& r = map.regions[static_cast<size_t>(index)];
                (r.kind == RegionKind::Code ? code : data).push_back(index);
            }
        };
        for (int old : p.regions) take(old);
        for (int old : p.dataRegions) take(old);
        for (const auto& [first, old] : p.lookup) {
            for (int index : pieces[static_cast<size_t>(old)]) {
                lookup.emplace_back(map.regions[static_cast<size_t>(index)].address, index);
            }
        }
        p.regions = std::move(code);
        p.dataRegions = std::move(data);
        p.lookup = std::move(lookup);
    }
    SortPictures(map);
    IndexLayers(map);
}

void RelocateRange(ImageMap& map, int64_t first, int64_t length, int64_t run) {
    const int64_t end = first + length;
    std::vector<HeldRange> cuts;
    for (size_t i = 0; i < map.regions.size(); ++i) {
        const Region& r = map.regions[i];
        if (r.kind == RegionKind::Code && r.loadAddress < 0 && r.address < end &&
            EndAddress(r) > first) {
            cuts.push_back({static_cast<int>(i), first, end, DataShape::Bytes, RegionKind::Code});
        }
    }
    if (cuts.empty() || map.pictures.empty()) return;
    HoldRanges(map, cuts);
    Picture& final = map.pictures.back();
    const int finalIndex = static_cast<int>(map.pictures.size()) - 1;
    std::vector<int> moved;
    for (size_t i = 0; i < map.regions.size(); ++i) {
        Region& r = map.regions[i];
        if (r.kind != RegionKind::Code || r.loadAddress >= 0 || r.address < first ||
            EndAddress(r) > end) {
            continue;
        }
        r.loadAddress = r.address;
        r.address = run + (r.address - first);
        r.owner = finalIndex;
        moved.push_back(static_cast<int>(i));
    }
    // A layer where no other Code or Data region holds the run addresses, for unique labels.
    const auto overlaps = [&](int layer, const Region& piece) {
        for (size_t i = 0; i < map.regions.size(); ++i) {
            const Region& r = map.regions[i];
            if (r.layer == layer && (r.kind == RegionKind::Code || r.kind == RegionKind::Data) &&
                std::find(moved.begin(), moved.end(), static_cast<int>(i)) == moved.end() &&
                r.address < EndAddress(piece) && EndAddress(r) > piece.address) {
                return true;
            }
        }
        return false;
    };
    for (int index : moved) {
        Region& piece = map.regions[static_cast<size_t>(index)];
        if (overlaps(piece.layer, piece)) piece.layer = map.layerCount++;
    }
    for (Picture& p : map.pictures) {
        const auto isMoved = [&](int index) {
            return std::find(moved.begin(), moved.end(), index) != moved.end();
        };
        p.regions.erase(std::remove_if(p.regions.begin(), p.regions.end(), isMoved),
                        p.regions.end());
        p.lookup.erase(
            std::remove_if(p.lookup.begin(), p.lookup.end(),
                           [&](const std::pair<int64_t, int>& e) { return isMoved(e.second); }),
            p.lookup.end());
    }
    for (int index : moved) {
        final.regions.push_back(index);
        final.lookup.emplace_back(map.regions[static_cast<size_t>(index)].address, index);
    }
    final.entries.push_back(run);
    SortPictures(map);
    IndexLayers(map);
}
