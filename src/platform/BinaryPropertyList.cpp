#include "platform/BinaryPropertyList.h"

#include <bit>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

namespace brelvo::plist::binary {
namespace {

constexpr quint64 kHeaderSize = 8;  // "bplist00"
constexpr quint64 kTrailerSize = 32;
// Deeper values are not kept by the reader anyway; libplist itself would
// recurse as deep as a file claims.
constexpr std::size_t kMaxDepth = 512;

// An object's kind: the high nibble of its marker byte.
enum Kind : uchar {
    kSimple = 0x0,  // false, true
    kInteger = 0x1,
    kReal = 0x2,
    kDate = 0x3,
    kData = 0x4,
    kAscii = 0x5,
    kUtf16 = 0x6,
    kUid = 0x8,
    kArray = 0xa,
    kSet = 0xc,
    kDict = 0xd,
};

bool isContainer(uchar kind) {
    return kind == kArray || kind == kSet || kind == kDict;
}

struct Object {
    uchar kind = 0;
    quint64 count = 0;  // bytes, code units, elements or entries, as the kind counts
    quint64 start = 0;  // the first byte after the marker (and a long count)
    quint64 end = 0;    // one past the last byte
};

class Layout {
public:
    explicit Layout(const QByteArray& bytes)
        : data_(reinterpret_cast<const uchar*>(bytes.constData())), size_(static_cast<quint64>(bytes.size())) {
        ok_ = readTrailer();
    }

    bool ok() const { return ok_; }
    quint64 count() const { return count_; }
    quint64 root() const { return root_; }

    // The object at an index, when its marker is one libplist reads and the
    // object lies wholly between the header and the offset table.
    std::optional<Object> object(quint64 index) const;

    // How many references a container holds (a dictionary: its keys, then its values).
    static quint64 references(const Object& container) {
        return container.kind == kDict ? 2 * container.count : container.count;
    }

    // The index the i-th reference of a container names.
    quint64 reference(const Object& container, quint64 i) const {
        quint64 index = 0;
        number(container.start + i * refSize_, refSize_, &index);
        return index;
    }

private:
    bool number(quint64 at, quint64 width, quint64* out) const {
        if (width == 0 || width > 8 || at > size_ || width > size_ - at) return false;
        quint64 v = 0;
        for (quint64 i = 0; i < width; ++i) v = (v << 8) | data_[at + i];
        *out = v;
        return true;
    }

    bool readTrailer() {
        if (size_ < kHeaderSize + kTrailerSize || std::memcmp(data_, "bplist00", kHeaderSize) != 0) return false;
        const quint64 trailer = size_ - kTrailerSize;
        offsetSize_ = data_[trailer + 6];
        refSize_ = data_[trailer + 7];
        number(trailer + 8, 8, &count_);
        number(trailer + 16, 8, &root_);
        number(trailer + 24, 8, &table_);
        if (offsetSize_ < 1 || offsetSize_ > 8 || refSize_ < 1 || refSize_ > 8) return false;
        if (count_ == 0 || root_ >= count_) return false;
        if (table_ < kHeaderSize || table_ >= trailer) return false;
        return count_ <= (trailer - table_) / offsetSize_;
    }

    const uchar* data_;
    quint64 size_;
    bool ok_ = false;
    quint64 offsetSize_ = 0;
    quint64 refSize_ = 0;
    quint64 count_ = 0;
    quint64 root_ = 0;
    quint64 table_ = 0;
};

std::optional<Object> Layout::object(quint64 index) const {
    quint64 at = 0;
    if (index >= count_ || !number(table_ + index * offsetSize_, offsetSize_, &at)) return std::nullopt;
    if (at < kHeaderSize || at >= table_) return std::nullopt;
    const unsigned low = data_[at] & 0x0f;
    Object object{static_cast<uchar>(data_[at] >> 4), low, at + 1, 0};
    quint64 unit = 1;  // bytes per counted item
    bool counted = true;
    switch (object.kind) {
    case kSimple:  // null and fill bytes are no value libplist reads
        if (low != 0x8 && low != 0x9) return std::nullopt;
        object.count = 0;
        counted = false;
        break;
    case kInteger:  // 1, 2, 4, 8 or 16 bytes
        if (low > 4) return std::nullopt;
        object.count = quint64(1) << low;
        counted = false;
        break;
    case kReal:  // 4 or 8 bytes
        if (low != 2 && low != 3) return std::nullopt;
        object.count = quint64(1) << low;
        counted = false;
        break;
    case kDate:
        if (low != 3) return std::nullopt;
        object.count = 8;
        counted = false;
        break;
    case kUid:
        if (low > 7) return std::nullopt;
        object.count = low + 1;
        counted = false;
        break;
    case kData:
    case kAscii:
        break;
    case kUtf16:
        unit = 2;
        break;
    case kArray:
    case kSet:
        unit = refSize_;
        break;
    case kDict:
        unit = 2 * refSize_;
        break;
    default:
        return std::nullopt;
    }
    if (counted && low == 0x0f) {
        // A longer count follows as an integer object of 1, 2, 4 or 8 bytes.
        if (object.start >= table_) return std::nullopt;
        const uchar marker = data_[object.start];
        if ((marker >> 4) != kInteger || (marker & 0x0f) > 3) return std::nullopt;
        const quint64 width = quint64(1) << (marker & 0x0f);
        if (!number(object.start + 1, width, &object.count)) return std::nullopt;
        object.start += 1 + width;
    }
    if (object.start > table_ || object.count > (table_ - object.start) / unit) return std::nullopt;
    object.end = object.start + object.count * unit;
    return object;
}

bool hasNulUnit(const uchar* data, const Object& string) {
    for (quint64 at = string.start; at < string.end; at += 2)
        if (data[at] == 0 && data[at + 1] == 0) return true;
    return false;
}

}  // namespace

bool isSound(const QByteArray& bytes) {
    const Layout layout(bytes);
    if (!layout.ok()) return false;
    const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
    const quint64 count = layout.count();

    // Per object: how often it is named (the root counts once; 2 stands for
    // "more than once"), and whether a dictionary names it as a key.
    enum : uchar { kNamedMask = 0x3, kNamedTwice = 0x2, kKey = 0x4 };
    std::vector<uchar> marks(count, 0);
    marks[layout.root()] = 1;
    for (quint64 i = 0; i < count; ++i) {
        const std::optional<Object> object = layout.object(i);
        if (!object) return false;
        if (object->kind == kAscii && std::memchr(data + object->start, 0, object->count)) return false;
        if (!isContainer(object->kind)) continue;
        for (quint64 r = 0, refs = Layout::references(*object); r < refs; ++r) {
            const quint64 target = layout.reference(*object, r);
            if (target >= count) return false;
            uchar& mark = marks[target];
            if (object->kind == kDict && r < object->count) mark |= kKey;
            if ((mark & kNamedMask) < kNamedTwice) ++mark;
        }
    }
    for (quint64 i = 0; i < count; ++i) {
        const Object object = *layout.object(i);
        // Our writer never shares a container; a shared one is how a file
        // makes libplist loop or build an exponentially large tree.
        if ((marks[i] & kNamedMask) == kNamedTwice && isContainer(object.kind)) return false;
        // libplist aborts on a key holding U+0000.
        if ((marks[i] & kKey) && (object.kind != kAscii && (object.kind != kUtf16 || hasNulUnit(data, object))))
            return false;
    }

    // With no container named twice the containers form a tree: walk it for its depth.
    std::vector<std::pair<Object, quint64>> path;  // open containers and the next reference of each
    const Object root = *layout.object(layout.root());
    if (isContainer(root.kind)) path.emplace_back(root, 0);
    while (!path.empty()) {
        auto& [container, next] = path.back();
        if (next == Layout::references(container)) {
            path.pop_back();
            continue;
        }
        const Object child = *layout.object(layout.reference(container, next++));
        if (!isContainer(child.kind)) continue;
        if (path.size() > kMaxDepth) return false;  // the child's depth
        path.emplace_back(child, 0);
    }
    return true;
}

void restoreNuls(QByteArray& bytes, char16_t standIn) {
    uchar* data = reinterpret_cast<uchar*>(bytes.data());  // detached before the layout looks at the bytes
    const Layout layout(bytes);
    if (!layout.ok()) return;
    const uchar high = static_cast<uchar>(standIn >> 8);
    const uchar low = static_cast<uchar>(standIn & 0xff);
    for (quint64 i = 0; i < layout.count(); ++i) {
        const std::optional<Object> object = layout.object(i);
        if (!object || object->kind != kUtf16) continue;
        for (quint64 at = object->start; at < object->end; at += 2)
            if (data[at] == high && data[at + 1] == low) data[at] = data[at + 1] = 0;
    }
}

QByteArray ofData(const QByteArray& data) {
    const auto size = static_cast<quint64>(data.size());
    // The marker holds a count below 15; a longer one follows it as an
    // integer object of 1, 2, 4 or 8 big-endian bytes.
    int countBytes = 0;
    if (size >= 15) countBytes = size <= 0xff ? 1 : size <= 0xffff ? 2 : size <= 0xffffffffu ? 4 : 8;
    const quint64 objectSize = 1 + (countBytes ? 1 + countBytes : 0) + size;
    const quint64 tableOffset = kHeaderSize + objectSize;
    // The offset table's one entry, the object's offset 8, is written as wide
    // as the table's own offset needs, as libplist does.
    int offsetBytes = 1;
    while (offsetBytes < 8 && (tableOffset >> (8 * offsetBytes)) != 0) ++offsetBytes;
    QByteArray out(static_cast<qsizetype>(tableOffset + offsetBytes + kTrailerSize), Qt::Uninitialized);
    auto* at = reinterpret_cast<uchar*>(out.data());
    const auto putBigEndian = [&at](quint64 value, int bytes) {
        for (int i = bytes - 1; i >= 0; --i) *at++ = static_cast<uchar>(value >> (8 * i));
    };
    std::memcpy(at, "bplist00", kHeaderSize);
    at += kHeaderSize;
    if (countBytes) {
        *at++ = (kData << 4) | 0xf;
        *at++ = static_cast<uchar>((kInteger << 4) | std::countr_zero(static_cast<unsigned>(countBytes)));
        putBigEndian(size, countBytes);
    } else {
        *at++ = static_cast<uchar>((kData << 4) | size);
    }
    if (size) std::memcpy(at, data.constData(), size);
    at += size;
    putBigEndian(kHeaderSize, offsetBytes);  // the offset table
    std::memset(at, 0, 6);  // unused, sort version
    at += 6;
    *at++ = static_cast<uchar>(offsetBytes);
    *at++ = 1;  // object reference size
    putBigEndian(1, 8);  // objects
    putBigEndian(0, 8);  // the top object
    putBigEndian(tableOffset, 8);
    return out;
}

}  // namespace brelvo::plist::binary
