#include "diagnostics/CrashCapture.h"

#include "diagnostics/CrashContext.h"
#include "diagnostics/CrashFile.h"
#include "diagnostics/CrashHandlers.h"
#include "diagnostics/CrashRecovery.h"
#include "diagnostics/CrashSymbols.h"
#include "diagnostics/CrashWatchdog.h"
#include "diagnostics/ErrorHandlerFile.h"
#include "diagnostics/SignalStacks.h"
#include "platform/AppPaths.h"
#include "platform/Dispatch.h"

#include <atomic>
#include <cstdint>
#include <execinfo.h>
#include <vector>

namespace brelvo {

namespace {

std::atomic<bool> g_installed{false};

}  // namespace

void installBrelErrorHandler() {
    if (g_installed.exchange(true)) return;
    errorhandler::createMorivaFolderInDocumentsFolder();
    errorhandler::createPlist();
    crash::rememberGuiThread();

    crash::takeOverCrashFile(crash::crashFilePath());
    CrashContext::startRefreshing();
    CrashFile::rememberExecutablePath();
    // The first call loads the unwinder and allocates; a handler must not be the first.
    void* warm[4];
    ::backtrace(warm, 4);
    crash::prepareThread();
    dispatch::setWorkerPreparation(&crash::prepareThread);

    crash::startWatchdog();
    crash::hookHandlers();
}

namespace crash {

QString crashFilePath() {
    return paths::documents() + QStringLiteral("/brelvo-crash.bin");
}

[[gnu::noinline]] QStringList currentBacktrace() {
    void* frames[128];
    const int n = ::backtrace(frames, 128);
    // Left out: this function, the facade's call of it, and the outermost
    // frame. The facade's frame is found by its address, since an
    // instrumented build adds frames of its own in between.
    void* const caller = __builtin_return_address(0);
    int first = 2;
    for (int i = 0; i < n; ++i) {
        if (frames[i] == caller) {
            first = i + 1;
            break;
        }
    }
    if (n - 1 - first < 1) return {};
    std::vector<std::uint64_t> raw;
    for (int i = first; i < n - 1; ++i) raw.push_back(reinterpret_cast<std::uintptr_t>(frames[i]));
    return crashsymbols::describe(raw, crashsymbols::loadedModules());
}

}  // namespace crash

}  // namespace brelvo
