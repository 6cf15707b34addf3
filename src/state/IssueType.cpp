#include "state/IssueType.h"

#include "state/RecordValues.h"

namespace brelvo {

namespace {
const QString kStoreKey = QStringLiteral("IssueTypes");
const QString kId = QStringLiteral("id");
const QString kName = QStringLiteral("name");
}  // namespace

IssueType::IssueType(const QVariant& dictionary) {
    const QVariantMap map = records::mapOf(dictionary);
    typeID_ = static_cast<quint64>(records::integerValue(map.value(kId)));
    name_ = records::textOf(map.value(kName));
}

QVariantMap IssueType::dictionary() const {
    QVariantMap map;
    map.insert(kId, QVariant::fromValue<quint64>(typeID_));
    records::insertText(map, kName, name_);
    return map;
}

void IssueType::saveArrayOfIssueTypes(const QList<IssueType>& list) {
    records::saveArray(list, kStoreKey);
}

QList<IssueType> IssueType::restoreIssueTypes() {
    return records::restoreArray<IssueType>(kStoreKey);
}

QString IssueType::descriptionString() const {
    return QStringLiteral("Issue Type Name: %1\nIssue Type ID: %2\n").arg(records::describe(name_), QString::number(typeID_));
}

}  // namespace brelvo
