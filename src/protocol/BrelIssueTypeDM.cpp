#include "protocol/BrelIssueTypeDM.h"

#include "protocol/RecordValues.h"

namespace brelvo {

namespace {
const QString kArchiveId = QStringLiteral("Type_ID");
const QString kArchiveIcon = QStringLiteral("Type_icon");
const QString kArchiveName = QStringLiteral("Type_name");
}  // namespace

std::optional<BrelIssueTypeDM> BrelIssueTypeDM::modelFromDictionary(const QVariant& dictionary) {
    if (dictionary.typeId() != QMetaType::QVariantMap) return std::nullopt;
    const QVariantMap map = dictionary.toMap();
    BrelIssueTypeDM record;
    const QVariant id = map.value(QStringLiteral("id"));
    record.id_ = records::isNumber(id) ? records::normalisedNumber(id) : QVariant::fromValue<qint64>(0);
    record.icon_ = records::stringOrEmpty(map.value(QStringLiteral("icon")));
    record.name_ = records::stringOrEmpty(map.value(QStringLiteral("name")));
    return record;
}

QVariantMap BrelIssueTypeDM::encodeWithCoder() const {
    QVariantMap archive;
    records::insertValue(archive, kArchiveId, id_);
    records::insertText(archive, kArchiveIcon, icon_);
    records::insertText(archive, kArchiveName, name_);
    return archive;
}

std::optional<BrelIssueTypeDM> BrelIssueTypeDM::initWithCoder(const QVariant& archive) {
    if (archive.typeId() != QMetaType::QVariantMap) return std::nullopt;
    const QVariantMap map = archive.toMap();
    BrelIssueTypeDM record;
    const QVariant id = map.value(kArchiveId);
    if (records::isNumber(id)) record.id_ = records::normalisedNumber(id);
    record.icon_ = records::textOf(map.value(kArchiveIcon));
    record.name_ = records::textOf(map.value(kArchiveName));
    return record;
}

}  // namespace brelvo
