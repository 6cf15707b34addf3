#include "state/IssueDM.h"

#include "state/RecordValues.h"

namespace brelvo {

namespace {
const QString kStoreKey = QStringLiteral("Issue");
const QString kType = QStringLiteral("issue_type");
const QString kPriority = QStringLiteral("issue_priority");
const QString kSummary = QStringLiteral("issue_summary");
const QString kDescription = QStringLiteral("issue_description");
const QString kScreenshots = QStringLiteral("screenshots");
}  // namespace

IssueDM::IssueDM(const QVariant& dictionary)
    : type_(records::mapOf(dictionary).value(kType)), priority_(records::mapOf(dictionary).value(kPriority)) {
    const QVariantMap map = records::mapOf(dictionary);
    summary_ = records::textOf(map.value(kSummary));
    issueDescription_ = records::textOf(map.value(kDescription));
    const QVariant screenshots = map.value(kScreenshots);
    if (screenshots.typeId() == QMetaType::QVariantList) screenshots_ = screenshots;
}

QVariantMap IssueDM::dictionary() const {
    QVariantMap map;
    map.insert(kType, type_.dictionary());
    map.insert(kPriority, priority_.dictionary());
    records::insertText(map, kSummary, summary_);
    records::insertText(map, kDescription, issueDescription_);
    records::insertValue(map, kScreenshots, screenshots_);
    return map;
}

void IssueDM::saveIssue() const {
    records::storeAndSynchronize(dictionary(), kStoreKey);
}

IssueDM IssueDM::restoreIssue() {
    return IssueDM(records::storedValue(kStoreKey));
}

QString IssueDM::descriptionString() const {
    return QStringLiteral("Issue Summary: %1\nIssue Description: %2\nIssue Type: %3\nIssue Priority: %4\n")
        .arg(records::describe(summary_), records::describe(issueDescription_), type_.descriptionString(),
             priority_.descriptionString());
}

}  // namespace brelvo
