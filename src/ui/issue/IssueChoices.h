#pragma once

#include "state/BrelIssuePriorityDM.h"
#include "state/BrelIssueTypeDM.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace brelvo {

// The issue types and severities the pickers offer, from one authentication
// payload: the names shown, their icons and the ids sent all come from the
// same list, so that a row chosen in the picker names the id that is sent,
// also after a newer authentication replaced the lists. A plain value.
class IssueChoices {
public:
    // The shared authentication's lists as they are now.
    static IssueChoices fromCurrentPayload();

    // Each replaces its whole list.
    void setIssueTypes(const QList<BrelIssueTypeDM>& types) { types_ = types; }
    void setIssuePriorities(const QList<BrelIssuePriorityDM>& priorities) { priorities_ = priorities; }

    QStringList typeNames() const;
    QStringList typeIcons() const;
    QStringList priorityNames() const;
    QStringList priorityIcons() const;

    // The id of the chosen row as decimal text; null for a row the list does
    // not have (nothing can be sent with it).
    QString typeId(int index) const;
    QString priorityId(int index) const;

private:
    QList<BrelIssueTypeDM> types_;
    QList<BrelIssuePriorityDM> priorities_;
};

}  // namespace brelvo
