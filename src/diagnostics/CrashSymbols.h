#pragma once

#include "diagnostics/CrashFile.h"

#include <QStringList>

#include <cstdint>
#include <vector>

namespace brelvo::crashsymbols {

// The objects loaded in this process now (the main program included), with
// their load biases. Not for signal handlers.
std::vector<CrashFile::Module> loadedModules();

// One readable line per raw return address, from the modules' symbol tables
// and DWARF line data (libdw):
//   "#2  libfoo.so.1  0x00007f3a1c2d4e10  ns::Type::method(int) + 24 (file.cpp:42)"
// Addresses outside every module, or in a module whose file is gone, keep
// their number alone. Runs outside signal handlers only: it reads files and
// allocates.
QStringList describe(const std::vector<std::uint64_t>& frames, const std::vector<CrashFile::Module>& modules);

}  // namespace brelvo::crashsymbols
