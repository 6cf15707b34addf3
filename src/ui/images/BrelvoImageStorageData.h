#pragma once

#include <cstddef>

namespace brelvo::atlasdata {

// The icon atlas as a data URL ("data:image/png;base64,…"), generated into
// BrelvoImageStorageData.cpp by resources/atlas/make_atlas.cpp.
extern const char kDataUrl[];
extern const std::size_t kDataUrlLength;

}  // namespace brelvo::atlasdata
