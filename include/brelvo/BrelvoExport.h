#pragma once

// Marks the library's public API: libbrelvo.so is built with hidden
// visibility and exports only what carries this mark.
#define BRELVO_EXPORT __attribute__((visibility("default")))
