// Property lists in either form, and the payload archive stored in one: the
// reader never fails on damaged bytes, and what it reads writes back and reads
// again unchanged.

#include "FuzzSupport.h"

#include "platform/PropertyList.h"
#include "state/BrelPayloadDM.h"

#include <QDateTime>

using namespace brelvo;

namespace {

// The value with every date cut to its whole second, all the XML form holds.
QVariant toWholeSeconds(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::QDateTime: {
        const qint64 ms = value.toDateTime().toMSecsSinceEpoch();
        return QDateTime::fromMSecsSinceEpoch(ms - ((ms % 1000) + 1000) % 1000, Qt::UTC);
    }
    case QMetaType::QVariantList: {
        QVariantList list;
        for (const QVariant& element : value.toList()) list.append(toWholeSeconds(element));
        return list;
    }
    case QMetaType::QVariantMap: {
        QVariantMap map;
        const QVariantMap source = value.toMap();
        for (auto it = source.begin(); it != source.end(); ++it) map.insert(it.key(), toWholeSeconds(it.value()));
        return map;
    }
    default:
        return value;
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
        fuzz::require(plist::fromData(binary) == value, "the binary form reads back unchanged");
        const QByteArray xml = plist::toXml(value);
        if (!xml.isEmpty())
            fuzz::require(plist::fromData(xml) == toWholeSeconds(value), "the XML form reads back unchanged");
    }

    if (const std::optional<BrelPayloadDM> payload = BrelPayloadDM::fromArchivedData(bytes)) {
        const std::optional<BrelPayloadDM> again = BrelPayloadDM::fromArchivedData(payload->archivedData());
        fuzz::require(again && *again == *payload, "a payload read from its archive archives and reads back unchanged");
    }
    return 0;
}
