#include "state/IssuePriority.h"

#include "state/RecordValues.h"

namespace brelvo {

namespace {
const QString kStoreKey = QStringLiteral("IssuePriorities");
const QString kId = QStringLiteral("id");
const QString kName = QStringLiteral("name");
}  // namespace

IssuePriority::IssuePriority(const QVariant& dictionary) {
    const QVariantMap map = records::mapOf(dictionary);
    priorityID_ = static_cast<quint64>(records::integerValue(map.value(kId)));
    name_ = records::textOf(map.value(kName));
}

QVariantMap IssuePriority::dictionary() const {
    QVariantMap map;
    map.insert(kId, QVariant::fromValue<quint64>(priorityID_));
    records::insertText(map, kName, name_);
    return map;
}

void IssuePriority::saveArrayOfIssuePriorities(const QList<IssuePriority>& list) {
    records::saveArray(list, kStoreKey);
}

QList<IssuePriority> IssuePriority::restoreIssuePriorities() {
    return records::restoreArray<IssuePriority>(kStoreKey);
}

QString IssuePriority::descriptionString() const {
    return QStringLiteral("Issue Priority Name: %1\nIssue Priority ID: %2\n").arg(records::describe(name_), QString::number(priorityID_));
}

}  // namespace brelvo
