#include "platform/PropertyList.h"

#include "platform/BinaryPropertyList.h"
#include "platform/Log.h"
#include "platform/VariantKinds.h"

#include <QDateTime>
#include <QTimeZone>

#include <plist/plist.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <limits>
#include <memory>

namespace brelvo::plist {
namespace {

struct NodeDeleter {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using Node = std::unique_ptr<void, NodeDeleter>;

// Property-list dates count seconds from 2001-01-01 00:00:00 UTC.
const QDateTime& referenceDate() {
    static const QDateTime date(QDate(2001, 1, 1), QTime(0, 0), QTimeZone::utc());
    return date;
}

bool hasForm(const QVariant& value) {
    if (variants::isNumber(value)) return true;
    switch (value.typeId()) {
    case QMetaType::QString:
    case QMetaType::Bool:
    case QMetaType::QByteArray:
    case QMetaType::QDateTime:
    case QMetaType::QVariantList:
    case QMetaType::QVariantMap:
    case QMetaType::QStringList:
        return true;
    default:
        return false;
    }
}

// libplist takes strings as C strings, so a U+0000 would end one early. In
// the binary form such a string goes in with a stand-in character that no
// string of the value uses, and the written bytes get U+0000 back in its place
// (the stand-in is not ASCII, so libplist writes the string in UTF-16, which
// reads back whole). The XML form cannot hold U+0000 at all: nulStandIn 0.
plist_t toNode(const QVariant& value, char16_t nulStandIn) {
    switch (value.typeId()) {
    case QMetaType::QString: {
        QString text = value.toString();
        if (text.contains(QChar(u'\0'))) {
            if (!nulStandIn) {
                qCWarning(lcBrelvo) << "property list: left out a string holding U+0000, which XML cannot hold";
                return nullptr;
            }
            text.replace(QChar(u'\0'), QChar(nulStandIn));
        }
        return plist_new_string(text.toUtf8().constData());
    }
    case QMetaType::Bool:
        return plist_new_bool(value.toBool() ? 1 : 0);
    case QMetaType::ULongLong:
    case QMetaType::ULong:
    case QMetaType::UInt:
        return plist_new_uint(value.toULongLong());
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
        // Negative values travel as their two's complement; the binary form
        // stores 8-byte integers signed, so they come back unchanged.
        return plist_new_uint(static_cast<uint64_t>(value.toLongLong()));
    case QMetaType::Double:
    case QMetaType::Float:
        return plist_new_real(value.toDouble());
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return plist_new_data(bytes.constData(), static_cast<uint64_t>(bytes.size()));
    }
    case QMetaType::QDateTime: {
        const qint64 ms = referenceDate().msecsTo(value.toDateTime());
        qint64 sec = ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
        qint64 usec = (ms - sec * 1000) * 1000;
        // The form counts whole seconds in 32 bits. Counting the fraction
        // backwards reaches the second just below that range (where a date
        // read from a damaged file can lie); a date further out is held at
        // the nearest end instead of wrapping around to the other one.
        constexpr qint64 kLowest = std::numeric_limits<int32_t>::min();
        constexpr qint64 kHighest = std::numeric_limits<int32_t>::max();
        if (sec == kLowest - 1) {
            // The whole second itself is one microsecond short: libplist reads
            // a value of exactly kLowest - 1 back by wrapping its 32 bits.
            sec = kLowest;
            usec = std::max<qint64>(usec - 1000000, -999999);
        } else if (sec < kLowest || sec > kHighest) {
            sec = std::clamp(sec, kLowest, kHighest);
            usec = 0;
        }
        return plist_new_date(static_cast<int32_t>(sec), static_cast<int32_t>(usec));
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        plist_t array = plist_new_array();
        for (const QVariant& element : value.toList()) {
            if (element.typeId() == QMetaType::Nullptr) continue;  // a JSON null has no form: absent
            if (!hasForm(element))
                qCWarning(lcBrelvo) << "property list: left out an array element of type" << element.typeName();
            else if (plist_t node = toNode(element, nulStandIn))
                plist_array_append_item(array, node);
        }
        return array;
    }
    case QMetaType::QVariantMap: {
        plist_t dict = plist_new_dict();
        const QVariantMap map = value.toMap();
        for (auto it = map.begin(); it != map.end(); ++it) {
            if (it.value().typeId() == QMetaType::Nullptr) continue;
            if (it.key().contains(QChar(u'\0'))) {
                // libplist aborts on reading such a key back.
                qCWarning(lcBrelvo) << "property list: left out a key holding U+0000";
            } else if (!hasForm(it.value())) {
                qCWarning(lcBrelvo) << "property list: left out key" << it.key() << "of type" << it.value().typeName();
            } else if (plist_t node = toNode(it.value(), nulStandIn)) {
                plist_dict_set_item(dict, it.key().toUtf8().constData(), node);
            }
        }
        return dict;
    }
    default:
        return nullptr;
    }
}

// Stand-ins for U+0000 in the binary form: the noncharacters U+FDD0..U+FDEF,
// which Unicode sets aside for a program's internal use.
constexpr char16_t kFirstNulStandIn = 0xFDD0;
constexpr int kNulStandIns = 32;

struct StringScan {
    bool nul = false;
    quint32 usedStandIns = 0;  // bit i: U+FDD0 + i occurs

    void add(const QString& text) {
        for (const QChar c : text) {
            const char16_t u = c.unicode();
            if (u == 0)
                nul = true;
            else if (u >= kFirstNulStandIn && u < kFirstNulStandIn + kNulStandIns)
                usedStandIns |= 1u << (u - kFirstNulStandIn);
        }
    }
};

void scanStrings(const QVariant& value, StringScan& scan) {
    switch (value.typeId()) {
    case QMetaType::QString:
        scan.add(value.toString());
        break;
    case QMetaType::QVariantList:
    case QMetaType::QStringList:
        for (const QVariant& element : value.toList()) scanStrings(element, scan);
        break;
    case QMetaType::QVariantMap: {
        const QVariantMap map = value.toMap();
        for (auto it = map.begin(); it != map.end(); ++it) {
            scan.add(it.key());
            scanStrings(it.value(), scan);
        }
        break;
    }
    default:
        break;
    }
}

QString takeString(char* text) {
    const QString s = QString::fromUtf8(text ? text : "");
    std::free(text);
    return s;
}

QVariant fromNode(plist_t node, int depth) {
    // A crafted file may nest containers without end; stop well before the stack does.
    if (!node || depth > 512) return {};
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return b != 0;
    }
    case PLIST_UINT: {
        uint64_t u = 0;
        plist_get_uint_val(node, &u);
        return static_cast<qint64>(u);
    }
    case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(node, &d);
        return d;
    }
    case PLIST_STRING: {
        // By pointer and length: a string may hold U+0000 (the binary form
        // keeps it), on which plist_get_string_val asserts (aborting the process).
        uint64_t length = 0;
        const char* s = plist_get_string_ptr(node, &length);
        return QString::fromUtf8(s ? s : "", s ? static_cast<qsizetype>(length) : 0);
    }
    case PLIST_DATA: {
        char* data = nullptr;
        uint64_t length = 0;
        plist_get_data_val(node, &data, &length);
        QByteArray bytes(data, static_cast<qsizetype>(length));
        std::free(data);
        return bytes;
    }
    case PLIST_DATE: {
        int32_t sec = 0, usec = 0;
        plist_get_date_val(node, &sec, &usec);
        // libplist splits the stored seconds by truncation and hands back the
        // fraction without its sign, and the fraction may be a hair below the
        // intended millisecond (it was a double): put the sign back and round.
        const qint64 fraction = (usec + 500) / 1000;
        return referenceDate().addMSecs(static_cast<qint64>(sec) * 1000 + (sec < 0 ? -fraction : fraction));
    }
    case PLIST_ARRAY: {
        QVariantList list;
        const uint32_t size = plist_array_get_size(node);
        list.reserve(size);
        for (uint32_t i = 0; i < size; ++i) {
            QVariant element = fromNode(plist_array_get_item(node, i), depth + 1);
            if (element.isValid()) list.append(element);
        }
        return list;
    }
    case PLIST_DICT: {
        QVariantMap map;
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        for (;;) {
            char* key = nullptr;
            plist_t item = nullptr;
            plist_dict_next_item(node, it, &key, &item);
            if (!item) {
                std::free(key);
                break;
            }
            QVariant element = fromNode(item, depth + 1);
            const QString k = takeString(key);
            if (element.isValid()) map.insert(k, element);
        }
        std::free(it);
        return map;
    }
    default:
        return {};
    }
}

}  // namespace

namespace {
bool isElement(const QVariant& value) {
    return value.typeId() == QMetaType::Nullptr || isPropertyList(value);
}
}  // namespace

bool isPropertyList(const QVariant& value) {
    if (!hasForm(value)) return false;
    if (value.typeId() == QMetaType::QVariantList) {
        for (const QVariant& element : value.toList())
            if (!isElement(element)) return false;
    } else if (value.typeId() == QMetaType::QVariantMap) {
        const QVariantMap map = value.toMap();
        for (auto it = map.begin(); it != map.end(); ++it)
            if (!isElement(it.value())) return false;
    }
    return true;
}

QByteArray toXml(const QVariant& value) {
    Node node(hasForm(value) ? toNode(value, 0) : nullptr);
    if (!node) return {};
    char* out = nullptr;
    uint32_t length = 0;
    plist_to_xml(static_cast<plist_t>(node.get()), &out, &length);
    QByteArray bytes(out, static_cast<qsizetype>(length));
    plist_to_xml_free(out);
    return bytes;
}

QByteArray toBinary(const QVariant& value) {
    if (value.typeId() == QMetaType::QByteArray) return binary::ofData(value.toByteArray());
    if (!hasForm(value)) return {};
    StringScan scan;
    scanStrings(value, scan);
    char16_t nulStandIn = 0;
    if (scan.nul) {
        const int free = std::countr_one(scan.usedStandIns);
        if (free == kNulStandIns) {
            qCWarning(lcBrelvo) << "property list: strings hold U+0000 and every stand-in for it; value not written";
            return {};
        }
        nulStandIn = static_cast<char16_t>(kFirstNulStandIn + free);
    }
    Node node(toNode(value, nulStandIn));
    if (!node) return {};
    char* out = nullptr;
    uint32_t length = 0;
    plist_to_bin(static_cast<plist_t>(node.get()), &out, &length);
    QByteArray bytes(out, static_cast<qsizetype>(length));
    plist_to_bin_free(out);
    if (nulStandIn) binary::restoreNuls(bytes, nulStandIn);
    return bytes;
}

QVariant fromData(const QByteArray& bytes) {
    if (bytes.isEmpty() || bytes.size() > std::numeric_limits<uint32_t>::max()) return {};
    plist_t root = nullptr;
    const auto length = static_cast<uint32_t>(bytes.size());
    if (plist_is_binary(bytes.constData(), length)) {
        if (!binary::isSound(bytes)) return {};  // damaged: libplist might abort on it
        plist_from_bin(bytes.constData(), length, &root);
    }
    else
        plist_from_xml(bytes.constData(), length, &root);
    Node node(root);
    return fromNode(root, 0);
}

}  // namespace brelvo::plist
