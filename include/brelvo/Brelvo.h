#pragma once

// The public interface of libbrelvo, the in-app beta-testing library.
//
// The facade that a host starts with one call (Brelvo::shared().initialize...)
// lands here together with the start-up work; until then this header offers
// the library's version.

#include <QString>

namespace brelvo {

// The library's version text, as the "libInfo" resource states it.
QString libraryVersion();

}  // namespace brelvo
