#include "state/BrelRequirementPriority.h"

#include "state/RecordValues.h"

namespace brelvo {

namespace {
const QString kArchiveId = QStringLiteral("Req_Priority_ID");
const QString kArchiveName = QStringLiteral("Req_Priority_name");
}  // namespace

std::optional<BrelRequirementPriority> BrelRequirementPriority::modelFromDictionary(const QVariant& dictionary) {
    if (dictionary.typeId() != QMetaType::QVariantMap) return std::nullopt;
    const QVariantMap map = dictionary.toMap();
    BrelRequirementPriority record;
    const QVariant id = map.value(QStringLiteral("id"));
    record.id_ = records::isNumber(id) ? records::normalisedNumber(id) : QVariant::fromValue<qint64>(0);
    record.name_ = records::stringOrEmpty(map.value(QStringLiteral("name")));
    return record;
}

QVariantMap BrelRequirementPriority::encodeWithCoder() const {
    QVariantMap archive;
    records::insertValue(archive, kArchiveId, id_);
    records::insertText(archive, kArchiveName, name_);
    return archive;
}

std::optional<BrelRequirementPriority> BrelRequirementPriority::initWithCoder(const QVariant& archive) {
    if (archive.typeId() != QMetaType::QVariantMap) return std::nullopt;
    const QVariantMap map = archive.toMap();
    BrelRequirementPriority record;
    const QVariant id = map.value(kArchiveId);
    if (records::isNumber(id)) record.id_ = records::normalisedNumber(id);
    record.name_ = records::textOf(map.value(kArchiveName));
    return record;
}

}  // namespace brelvo
