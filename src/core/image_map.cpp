#include "core/image_map.h"

#include <algorithm>

ImageMap RawImageMap(int64_t startAddress, int64_t skip, int64_t fileSize) {
    ImageMap map;
    Region region;
    region.fileOffset = skip;
    region.length = std::max<int64_t>(0, fileSize - skip);
    region.address = startAddress;
    map.regions.push_back(region);
    map.segments.emplace_back();
    return map;
}

bool LiesInLayer(const ImageMap& map, int layer, int64_t address, int64_t margin) {
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
