#pragma once

#include <QtGlobal>

#include <optional>

// The machine's memory as page counts, read from <proc root>/meminfo (see
// DeviceFiles.h for moving the root in tests). Any thread; nothing cached.
namespace brelvo::devicememory {

struct Pages {
    quint64 pageSize = 0;  // bytes
    quint64 free = 0;      // MemFree: pages nobody uses
    quint64 active = 0;    // Active: recently used anonymous and file pages
    quint64 inactive = 0;  // Inactive: pages the kernel would reclaim first
    quint64 wired = 0;     // Unevictable + SUnreclaim + KernelStack + PageTables
};

// None when meminfo cannot be read or lacks MemFree, Active or Inactive.
//
// "Wired" is memory that can never be paged out: pages locked by programs
// (Unevictable, which already contains Mlocked, so Mlocked is not added
// again) and the kernel's own memory that cannot be reclaimed. Reclaimable
// slab is left out, as the kernel gives it back under pressure. The sum comes
// close to MemTotal, as the four counts together cover the machine's memory.
std::optional<Pages> read();

}  // namespace brelvo::devicememory
