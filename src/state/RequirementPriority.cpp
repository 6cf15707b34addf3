#include "state/RequirementPriority.h"

#include "state/RecordValues.h"

namespace brelvo {

namespace {
const QString kStoreKey = QStringLiteral("RequirementPriorities");
const QString kId = QStringLiteral("id");
const QString kName = QStringLiteral("name");
}  // namespace

RequirementPriority::RequirementPriority(const QVariant& dictionary) {
    const QVariantMap map = records::mapOf(dictionary);
    priorityID_ = static_cast<quint64>(records::integerValue(map.value(kId)));
    name_ = records::textOf(map.value(kName));
}

QVariantMap RequirementPriority::dictionary() const {
    QVariantMap map;
    map.insert(kId, QVariant::fromValue<quint64>(priorityID_));
    records::insertText(map, kName, name_);
    return map;
}

void RequirementPriority::saveArrayOfRequirementPriorities(const QList<RequirementPriority>& list) {
    records::saveArray(list, kStoreKey);
}

QList<RequirementPriority> RequirementPriority::restoreRequirementPriorities() {
    return records::restoreArray<RequirementPriority>(kStoreKey);
}

QString RequirementPriority::descriptionString() const {
    return QStringLiteral("Requirement Priority Name: %1\nRequirement Priority ID: %2\n").arg(records::describe(name_), QString::number(priorityID_));
}

}  // namespace brelvo
