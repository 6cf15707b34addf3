// Property lists in either form, and the payload archive stored in one: the
// reader never fails on damaged bytes, and what it reads writes back and reads
// again unchanged.

#include "FuzzSupport.h"

#include "platform/PropertyList.h"
#include "state/BrelPayloadDM.h"

#include <QDateTime>

#include <cmath>
#include <cstdlib>

using namespace brelvo;

namespace {

// Equal, with NaN equal to NaN (a damaged file may hold one) and dates
// within dateSlackMs of each other.
bool same(const QVariant& a, const QVariant& b, qint64 dateSlackMs) {
    if (a.typeId() != b.typeId()) return false;
    switch (a.typeId()) {
    case QMetaType::Double:
        return (std::isnan(a.toDouble()) && std::isnan(b.toDouble())) || a == b;
    case QMetaType::QDateTime:
        return std::abs(a.toDateTime().msecsTo(b.toDateTime())) <= dateSlackMs;
    case QMetaType::QVariantList: {
        const QVariantList x = a.toList(), y = b.toList();
        if (x.size() != y.size()) return false;
        for (qsizetype i = 0; i < x.size(); ++i)
            if (!same(x[i], y[i], dateSlackMs)) return false;
        return true;
    }
    case QMetaType::QVariantMap: {
        const QVariantMap x = a.toMap(), y = b.toMap();
        if (x.keys() != y.keys()) return false;
        for (auto it = x.begin(); it != x.end(); ++it)
            if (!same(it.value(), y.value(it.key()), dateSlackMs)) return false;
        return true;
    }
    default:
        return a == b;
    }
}

// Whether a string or key inside holds U+0000, which has no XML form (such
// an element is left out of that form).
bool holdsNul(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::QString:
        return value.toString().contains(QChar(u'\0'));
    case QMetaType::QVariantList: {
        const QVariantList list = value.toList();
        return std::any_of(list.begin(), list.end(), holdsNul);
    }
    case QMetaType::QVariantMap: {
        const QVariantMap map = value.toMap();
        for (auto it = map.begin(); it != map.end(); ++it)
            if (it.key().contains(QChar(u'\0')) || holdsNul(it.value())) return true;
        return false;
    }
    default:
        return false;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::prepare();
    const QByteArray bytes = fuzz::bytesOf(data, size);

    const QVariant value = plist::fromData(bytes);
    if (value.isValid()) {
        fuzz::require(plist::isPropertyList(value), "a value read from a property list has a property-list form");
        const QByteArray binary = plist::toBinary(value);
        fuzz::require(!binary.isEmpty(), "a value read from a property list writes in the binary form");
        fuzz::require(same(plist::fromData(binary), value, 0), "the binary form reads back unchanged");
        if (!holdsNul(value)) {
            // The XML form keeps dates to the second, cut toward the reference
            // date. The second just below the 32-bit range is held a microsecond
            // inside it, so there the cut lands a whole second away.
            fuzz::require(same(plist::fromData(plist::toXml(value)), value, 1000),
                          "the XML form reads back unchanged");
        }
    }

    if (const std::optional<BrelPayloadDM> payload = BrelPayloadDM::fromArchivedData(bytes)) {
        const std::optional<BrelPayloadDM> again = BrelPayloadDM::fromArchivedData(payload->archivedData());
        fuzz::require(again && *again == *payload, "a payload read from its archive archives and reads back unchanged");
    }
    return 0;
}
