#include "protocol/BrelvoIssueTypesDM.h"

#include "protocol/RecordValues.h"

namespace brelvo {

std::optional<BrelvoIssueTypesDM> BrelvoIssueTypesDM::modelFromDictionary(const QVariant& dictionary) {
    if (dictionary.typeId() != QMetaType::QVariantMap) return std::nullopt;
    const QVariantMap map = dictionary.toMap();
    BrelvoIssueTypesDM record;
    const QVariant id = map.value(QStringLiteral("id"));
    record.id_ = records::isNumber(id) ? records::normalisedNumber(id) : QVariant::fromValue<qint64>(0);
    record.icon_ = records::stringOrEmpty(map.value(QStringLiteral("icon")));
    record.name_ = records::stringOrEmpty(map.value(QStringLiteral("name")));
    return record;
}

}  // namespace brelvo
