#include "diagnostics/CrashFile.h"

#include "protocol/DeliveryId.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <link.h>
#include <unistd.h>

namespace brelvo {

namespace {

constexpr char kMagic[8] = {'B', 'R', 'V', 'C', 'R', 'S', 'H', '2'};
constexpr char kMagicWithoutId[8] = {'B', 'R', 'V', 'C', 'R', 'S', 'H', '1'};
constexpr char kEndMarker[8] = {'B', 'R', 'V', 'E', 'N', 'D', '0', '1'};
constexpr std::size_t kHeaderSize = CrashFile::kDeliveryIdOffset + delivery::kBytes;
constexpr std::size_t kHeaderSizeWithoutId = 32;
constexpr char kDelivered = 'D';

// The main program's path; the dynamic linker's list names it "".
char g_executable[1024] = {};

std::size_t cStringLength(const char* s, std::size_t max) noexcept {
    std::size_t n = 0;
    while (n < max && s[n] != '\0') ++n;
    return n;
}

void put32(char* at, std::uint32_t v) noexcept { std::memcpy(at, &v, sizeof v); }
void put64(char* at, std::uint64_t v) noexcept { std::memcpy(at, &v, sizeof v); }
std::uint32_t get32(const char* at) {
    std::uint32_t v;
    std::memcpy(&v, at, sizeof v);
    return v;
}
std::uint64_t get64(const char* at) {
    std::uint64_t v;
    std::memcpy(&v, at, sizeof v);
    return v;
}

bool writeAll(int fd, const char* data, std::size_t size, off_t offset) noexcept {
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, data, size, offset);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
        offset += n;
    }
    return true;
}

// Appends the loaded objects to the slot from `at`; returns the bytes used.
// Walking the linker's list is plain memory reads, with no lock taken, so it
// is safe inside a signal handler (dl_iterate_phdr is not).
std::size_t writeModules(char* at, std::size_t room) noexcept {
    std::size_t used = 0;
    for (const link_map* m = _r_debug.r_map; m; m = m->l_next) {
        const char* name = (m->l_name && m->l_name[0]) ? m->l_name : g_executable;
        const std::size_t length = cStringLength(name, 4096);
        if (length == 0) continue;
        if (used + 10 + length > room) break;
        put64(at + used, static_cast<std::uint64_t>(m->l_addr));
        const auto len16 = static_cast<std::uint16_t>(length);
        std::memcpy(at + used + 8, &len16, sizeof len16);
        std::memcpy(at + used + 10, name, length);
        used += 10 + length;
    }
    return used;
}

}  // namespace

CrashFile::~CrashFile() {
    close();
}

void CrashFile::rememberExecutablePath() {
    const ssize_t n = ::readlink("/proc/self/exe", g_executable, sizeof g_executable - 1);
    g_executable[n > 0 ? n : 0] = '\0';
}

bool CrashFile::open(const QString& path) {
    close();
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    const off_t size = static_cast<off_t>(kSlots * kSlotSize);
    bool changed = false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_size != size || st.st_blocks * 512 < size) {
        // A new file or a wrong one: emptied, and its blocks reserved now, so
        // that a crash on a full disk still has its room.
        if (::ftruncate(fd, 0) != 0 || (::posix_fallocate(fd, 0, size) != 0 && ::ftruncate(fd, size) != 0)) {
            ::close(fd);
            return false;
        }
        changed = true;
    } else {
        // The file an earlier run left, its blocks already reserved: only the
        // slots that were written are emptied, so that none of their bytes
        // can complete a later write that is cut off.
        static const char zeros[kSlotSize] = {};
        for (int slot = 0; slot < kSlots; ++slot) {
            char head[sizeof kMagic] = {};
            const off_t at = static_cast<off_t>(slot * kSlotSize);
            if (::pread(fd, head, sizeof head, at) == static_cast<ssize_t>(sizeof head) &&
                std::memcmp(head, zeros, sizeof head) == 0)
                continue;
            if (!writeAll(fd, zeros, kSlotSize, at)) {
                ::close(fd);
                return false;
            }
            changed = true;
        }
    }
    // Nothing to make durable on a start after a clean run.
    if (changed) ::fsync(fd);
    fd_ = fd;
    prepareDeliveryIds();
    next_.store(0);
    return true;
}

void CrashFile::prepareDeliveryIds() {
    // Made here, since a handler cannot make random numbers safely; write()
    // copies the slot's identifier out with the rest of the slot.
    for (auto& slot : slots_) delivery::newRawId(slot + kDeliveryIdOffset);
}

QString CrashFile::deliveryId(int slot) const {
    if (slot < 0 || slot >= kSlots) return QString();
    return delivery::fromBytes(slots_[slot] + kDeliveryIdOffset);
}

void CrashFile::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

int CrashFile::write(const Record& record) noexcept {
    if (fd_ < 0) return -1;
    const int slot = next_.fetch_add(1);
    if (slot >= kSlots) return -1;
    char* s = slots_[slot];
    const int frames = record.frameCount < 0 ? 0 : (record.frameCount > kMaxFrames ? kMaxFrames : record.frameCount);
    const std::size_t text = record.text ? (record.textLength > kMaxText ? kMaxText : record.textLength) : 0;

    std::memcpy(s, kMagic, sizeof kMagic);
    std::memset(s + 8, 0, 4);
    put32(s + 12, record.kind);
    put32(s + 16, static_cast<std::uint32_t>(record.signal));
    put32(s + 20, static_cast<std::uint32_t>(frames));
    put32(s + 24, static_cast<std::uint32_t>(text));
    std::size_t at = kHeaderSize;
    for (int i = 0; i < frames; ++i, at += 8) put64(s + at, reinterpret_cast<std::uintptr_t>(record.frames[i]));
    if (text) std::memcpy(s + at, record.text, text);
    at += text;
    const std::size_t modules = writeModules(s + at, kSlotSize - at - sizeof kEndMarker);
    put32(s + 28, static_cast<std::uint32_t>(modules));
    at += modules;
    std::memcpy(s + at, kEndMarker, sizeof kEndMarker);
    at += sizeof kEndMarker;

    if (!writeAll(fd_, s, at, static_cast<off_t>(slot * kSlotSize))) return -1;
    ::fdatasync(fd_);
    return slot;
}

bool CrashFile::markDelivered(int slot) noexcept {
    if (fd_ < 0 || slot < 0 || slot >= kSlots) return false;
    if (!writeAll(fd_, &kDelivered, 1, static_cast<off_t>(slot * kSlotSize + kDeliveredOffset))) return false;
    return ::fdatasync(fd_) == 0;
}

bool CrashFile::noteRecoveryAttempt(const QString& path, int slot) {
    if (slot < 0 || slot >= kSlots) return false;
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;
    const off_t at = static_cast<off_t>(slot * kSlotSize + kAttemptsOffset);
    unsigned char attempts = 0;
    bool ok = ::pread(fd, &attempts, 1, at) == 1;
    if (attempts < 255) ++attempts;
    ok = ok && writeAll(fd, reinterpret_cast<const char*>(&attempts), 1, at) && ::fdatasync(fd) == 0;
    ::close(fd);
    return ok;
}

std::vector<CrashFile::Entry> CrashFile::readComplete(const QString& path) {
    std::vector<Entry> out;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return out;
    for (int slot = 0; slot < kSlots; ++slot) {
        // Only slots that were written are read whole.
        const qint64 base = static_cast<qint64>(slot * kSlotSize);
        if (!file.seek(base)) break;
        const QByteArray head = file.read(sizeof kMagic);
        if (head.size() < static_cast<qsizetype>(sizeof kMagic)) break;
        if (std::memcmp(head.constData(), kMagic, sizeof kMagic) != 0 &&
            std::memcmp(head.constData(), kMagicWithoutId, sizeof kMagicWithoutId) != 0)
            continue;
        const QByteArray all = head + file.read(static_cast<qint64>(kSlotSize - sizeof kMagic));
        if (all.size() < static_cast<qsizetype>(kHeaderSizeWithoutId)) break;
        const char* s = all.constData();
        const std::size_t available = static_cast<std::size_t>(all.size());
        const bool withId = std::memcmp(s, kMagic, sizeof kMagic) == 0;
        if (!withId && std::memcmp(s, kMagicWithoutId, sizeof kMagicWithoutId) != 0) continue;
        const std::size_t header = withId ? kHeaderSize : kHeaderSizeWithoutId;
        const std::uint32_t kind = get32(s + 12);
        const std::uint32_t frames = get32(s + 20), text = get32(s + 24), modules = get32(s + 28);
        if ((kind != Signal && kind != Exception) || frames > kMaxFrames || text > kMaxText) continue;
        const std::size_t end = header + frames * 8ull + text + modules;
        if (modules > kSlotSize || end + sizeof kEndMarker > available) continue;
        if (std::memcmp(s + end, kEndMarker, sizeof kEndMarker) != 0) continue;

        Entry e;
        e.slot = slot;
        e.kind = static_cast<Kind>(kind);
        e.signal = static_cast<int>(get32(s + 16));
        e.delivered = s[kDeliveredOffset] == kDelivered;
        e.recoveryAttempts = static_cast<unsigned char>(s[kAttemptsOffset]);
        if (withId) e.deliveryId = delivery::fromBytes(s + kDeliveryIdOffset);
        std::size_t at = header;
        for (std::uint32_t i = 0; i < frames; ++i, at += 8) e.frames.push_back(get64(s + at));
        e.text = QByteArray(s + at, static_cast<qsizetype>(text));
        at += text;
        const std::size_t modulesEnd = at + modules;
        while (at + 10 <= modulesEnd) {
            std::uint16_t length;
            std::memcpy(&length, s + at + 8, sizeof length);
            if (at + 10 + length > modulesEnd) break;
            e.modules.push_back({get64(s + at), QFile::decodeName(QByteArray(s + at + 10, length))});
            at += 10 + length;
        }
        out.push_back(std::move(e));
    }
    return out;
}

}  // namespace brelvo
