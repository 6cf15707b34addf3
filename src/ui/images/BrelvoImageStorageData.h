#pragma once

#include "ui/images/AtlasTable.h"

#include <cstddef>

namespace brelvo::atlasdata {

// An icon's premultiplied RGBA pixels, row after row, compressed by qCompress.
struct EmbeddedIcon {
    int width, height;
    const unsigned char* bytes;
    std::size_t size;
};

// The icon atlas is drawn at 1x, 2x and 3x.
inline constexpr int kScaleCount = 3;

// kIcons[scale - 1][i] is the icon of kAtlasSlots[i] drawn at that scale;
// generated into BrelvoImageStorageData.cpp by
// resources/atlas/make_atlas.cpp.
extern const EmbeddedIcon kIcons[kScaleCount][kAtlasSlots.size()];

}  // namespace brelvo::atlasdata
