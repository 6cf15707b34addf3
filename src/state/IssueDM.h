#pragma once

#include "state/IssuePriority.h"
#include "state/IssueType.h"

#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

namespace brelvo {

// An issue as the settings keep it: its type and priority as records, the
// texts and the screenshot list. Kept in the defaults store under "Issue".
class IssueDM {
public:
    // "issue_type" and "issue_priority" (nested dictionaries, always made into
    // records, empty ones when missing), "issue_summary", "issue_description"
    // and "screenshots" (an array, kept unchanged). Anything but a dictionary
    // gives an empty record.
    explicit IssueDM(const QVariant& dictionary = {});

    IssueType type() const { return type_; }
    IssuePriority priority() const { return priority_; }
    QString summary() const { return summary_; }
    void setSummary(const QString& summary) { summary_ = summary; }
    QString issueDescription() const { return issueDescription_; }
    void setIssueDescription(const QString& text) { issueDescription_ = text; }
    // Empty when the record has none.
    QVariantList screenshots() const { return screenshots_.toList(); }
    void setScreenshots(const QVariantList& screenshots) { screenshots_ = screenshots; }

    QVariantMap dictionary() const;
    void saveIssue() const;
    static IssueDM restoreIssue();

    QString descriptionString() const;

    bool operator==(const IssueDM&) const = default;

private:
    IssueType type_;
    IssuePriority priority_;
    QString summary_;
    QString issueDescription_;
    QVariant screenshots_;  // a QVariantList, or invalid when the record has none
};

}  // namespace brelvo
