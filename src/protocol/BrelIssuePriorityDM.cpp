#include "protocol/BrelIssuePriorityDM.h"

#include "protocol/RecordValues.h"

namespace brelvo {

namespace {
const QString kArchiveId = QStringLiteral("Priority_ID");
const QString kArchiveIcon = QStringLiteral("Priority_icon");
const QString kArchiveName = QStringLiteral("Priority_name");
}  // namespace

std::optional<BrelIssuePriorityDM> BrelIssuePriorityDM::modelFromDictionary(const QVariant& dictionary) {
    if (dictionary.typeId() != QMetaType::QVariantMap) return std::nullopt;
    const QVariantMap map = dictionary.toMap();
    BrelIssuePriorityDM record;
    const QVariant id = map.value(QStringLiteral("id"));
    record.id_ = records::isNumber(id) ? records::normalisedNumber(id) : QVariant::fromValue<qint64>(0);
    record.icon_ = records::stringOrEmpty(map.value(QStringLiteral("icon")));
    record.name_ = records::stringOrEmpty(map.value(QStringLiteral("name")));
    return record;
}

QVariantMap BrelIssuePriorityDM::encodeWithCoder() const {
    QVariantMap archive;
    records::insertValue(archive, kArchiveId, id_);
    records::insertText(archive, kArchiveIcon, icon_);
    records::insertText(archive, kArchiveName, name_);
    return archive;
}

std::optional<BrelIssuePriorityDM> BrelIssuePriorityDM::initWithCoder(const QVariant& archive) {
    if (archive.typeId() != QMetaType::QVariantMap) return std::nullopt;
    const QVariantMap map = archive.toMap();
    BrelIssuePriorityDM record;
    const QVariant id = map.value(kArchiveId);
    if (records::isNumber(id)) record.id_ = records::normalisedNumber(id);
    record.icon_ = records::textOf(map.value(kArchiveIcon));
    record.name_ = records::textOf(map.value(kArchiveName));
    return record;
}

}  // namespace brelvo
