#include "ui/issue/IssueChoices.h"

#include "state/BrelAuthenticationDM.h"

namespace brelvo {

namespace {

template <typename Record, typename Field>
QStringList collect(const QList<Record>& records, Field field) {
    QStringList values;
    for (const Record& r : records) values.append((r.*field)());
    return values;
}

template <typename Record>
QString idAt(const QList<Record>& records, int index) {
    if (index < 0 || index >= records.size()) return {};
    const QVariant id = records.at(index).ID();
    return id.isValid() ? id.toString() : QString();
}

}  // namespace

IssueChoices IssueChoices::fromCurrentPayload() {
    IssueChoices choices;
    if (const auto payload = BrelAuthenticationDM::shared().payload()) {
        choices.setIssueTypes(payload->issue_types());
        choices.setIssuePriorities(payload->issue_priorities());
    }
    return choices;
}

QStringList IssueChoices::typeNames() const {
    return collect(types_, &BrelIssueTypeDM::name);
}

QStringList IssueChoices::typeIcons() const {
    return collect(types_, &BrelIssueTypeDM::icon);
}

QStringList IssueChoices::priorityNames() const {
    return collect(priorities_, &BrelIssuePriorityDM::name);
}

QStringList IssueChoices::priorityIcons() const {
    return collect(priorities_, &BrelIssuePriorityDM::icon);
}

QString IssueChoices::typeId(int index) const {
    return idAt(types_, index);
}

QString IssueChoices::priorityId(int index) const {
    return idAt(priorities_, index);
}

}  // namespace brelvo
