#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace brelvo {

// The crash file: a file opened and preallocated at start-up, into which the
// crash handlers write a report with async-signal-safe calls only (one pwrite
// of a prepared slot, then fdatasync), before anything else happens. A report
// that never reached the service (the process was killed during the alert,
// the hand-over deadlocked, the send never returned) is found there at the
// next start.
//
// Layout: kSlots fixed slots of kSlotSize bytes, so that several failing
// threads never share bytes. Each slot, in native byte order:
//
//   offset 0   8 bytes   magic "BRVCRSH2"
//   offset 8   1 byte    delivered flag: 0 = not yet, 'D' = the handling step
//                        sent or queued it (written on its own after the send)
//   offset 9   1 byte    recovery attempts made by later starts
//   offset 12  u32       kind (1 signal, 2 uncaught exception)
//   offset 16  i32       signal number (SIGABRT for an exception)
//   offset 20  u32       frame count n (at most kMaxFrames)
//   offset 24  u32       text length t (exception: "type\nwhat"; signal: empty)
//   offset 28  u32       module table length m
//   offset 32  16 bytes  delivery identifier of the report (DeliveryId.h),
//                        made when the file is opened, before any signal
//   offset 48  u64[n]    raw return addresses, innermost first
//              t bytes   text
//              m bytes   modules: per loaded object u64 load bias, u16 path
//                        length, path bytes
//              8 bytes   end marker "BRVEND01"
//
// A slot without its end marker at the place the lengths give is torn (the
// write was cut off) and is ignored. Slots of the earlier "BRVCRSH1" form
// (no identifier: the addresses follow at offset 32) are still read.
class CrashFile {
public:
    static constexpr int kSlots = 4;
    static constexpr std::size_t kSlotSize = 64 * 1024;
    static constexpr int kMaxFrames = 128;
    static constexpr std::size_t kMaxText = 8 * 1024;
    static constexpr std::size_t kDeliveredOffset = 8;
    static constexpr std::size_t kAttemptsOffset = 9;
    static constexpr std::size_t kDeliveryIdOffset = 32;

    enum Kind : std::uint32_t { Signal = 1, Exception = 2 };

    struct Record {
        Kind kind = Signal;
        int signal = 0;
        void* const* frames = nullptr;
        int frameCount = 0;
        const char* text = nullptr;
        std::size_t textLength = 0;
    };

    struct Module {
        std::uint64_t bias = 0;
        QString path;
    };

    // A complete report read back from the file.
    struct Entry {
        int slot = -1;
        Kind kind = Signal;
        int signal = 0;
        bool delivered = false;
        int recoveryAttempts = 0;
        // Null for a slot of the earlier form.
        QString deliveryId;
        std::vector<std::uint64_t> frames;
        QByteArray text;
        std::vector<Module> modules;
    };

    CrashFile() = default;
    ~CrashFile();
    CrashFile(const CrashFile&) = delete;
    CrashFile& operator=(const CrashFile&) = delete;

    // Opens (creating) the file, empties every slot and preallocates it, so
    // that a write at crash time needs no new blocks, and gives every slot a
    // fresh delivery identifier. A file of the right size with its blocks
    // reserved is kept, with only its written slots emptied: after a clean
    // run nothing is written or synced. Call at start-up, after
    // readComplete() took what an earlier run left.
    bool open(const QString& path);
    void close();
    bool isOpen() const { return fd_ >= 0; }

    // Async-signal-safe. Fills the next free slot (modules are taken from the
    // dynamic linker's list, read without locks) and makes it durable.
    // Returns the slot, or -1 when every slot is used or the write failed.
    int write(const Record& record) noexcept;
    // Async-signal-safe. Sets the slot's delivered flag durably.
    bool markDelivered(int slot) noexcept;

    // The delivery identifier a report written to the slot carries. Not for
    // signal handlers.
    QString deliveryId(int slot) const;

    // Starts again at the first slot (measurements only).
    void rewind() { next_.store(0); }

    // Every complete report in the file at the path (torn ones left out).
    static std::vector<Entry> readComplete(const QString& path);
    // Counts, durably, one more attempt of a later start to recover the
    // slot's report: a start that dies while making it readable is not
    // repeated by every following start.
    static bool noteRecoveryAttempt(const QString& path, int slot);

    // The running executable's path, kept for write(): the dynamic linker
    // names the main program with an empty string. Call once at start-up.
    static void rememberExecutablePath();

private:
    void prepareDeliveryIds();

    int fd_ = -1;
    std::atomic<int> next_{0};
    alignas(16) char slots_[kSlots][kSlotSize] = {};
};

}  // namespace brelvo
