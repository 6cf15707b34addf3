#include "diagnostics/SignalStacks.h"

#include "platform/Log.h"

#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

namespace brelvo::crash {

namespace {

// The handling step may build widgets and spin the event loop on this stack
// (a GUI-thread fault), so it is large, and a guard page below it turns an
// overflow into a fault instead of silent heap damage.
constexpr std::size_t kAltStackSize = 4 * 1024 * 1024;

// A thread's alternate signal stack, mapped on first use and given back when
// the thread ends (the stack is switched off before it is unmapped).
class AlternateStack {
public:
    AlternateStack() {
        const long page = ::sysconf(_SC_PAGESIZE);
        guard_ = page > 0 ? static_cast<std::size_t>(page) : 4096;
        void* base = ::mmap(nullptr, kAltStackSize + guard_, PROT_READ | PROT_WRITE,
                            MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (base == MAP_FAILED) {
            qCWarning(lcBrelvo) << "no alternate signal stack:" << std::strerror(errno);
            return;
        }
        // The stack grows down: the lowest page is the guard.
        ::mprotect(base, guard_, PROT_NONE);
        stack_t stack{};
        stack.ss_sp = static_cast<char*>(base) + guard_;
        stack.ss_size = kAltStackSize;
        if (::sigaltstack(&stack, nullptr) != 0) {
            qCWarning(lcBrelvo) << "sigaltstack failed:" << std::strerror(errno);
            ::munmap(base, kAltStackSize + guard_);
            return;
        }
        base_ = base;
    }
    ~AlternateStack() {
        if (!base_) return;
        stack_t off{};
        off.ss_flags = SS_DISABLE;
        if (::sigaltstack(&off, nullptr) == 0) ::munmap(base_, kAltStackSize + guard_);
    }
    AlternateStack(const AlternateStack&) = delete;
    AlternateStack& operator=(const AlternateStack&) = delete;

private:
    void* base_ = nullptr;
    std::size_t guard_ = 0;
};

}  // namespace

void prepareThread() {
    thread_local AlternateStack stack;
}

}  // namespace brelvo::crash
