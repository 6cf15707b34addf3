#pragma once

#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantMap>

namespace brelvo {

// A priority a test requirement can have.
// The list is kept in the defaults store under "RequirementPriorities".
class RequirementPriority {
public:
    // "id" (a number or a numeric string; 0 when missing) and "name";
    // anything but a dictionary gives an empty record.
    explicit RequirementPriority(const QVariant& dictionary = {});

    quint64 priorityID() const { return priorityID_; }
    void setPriorityID(quint64 id) { priorityID_ = id; }
    QString name() const { return name_; }

    // "id" as an unsigned number, "name" when it has a value.
    QVariantMap dictionary() const;
    static void saveArrayOfRequirementPriorities(const QList<RequirementPriority>& list);
    // The stored list in order; empty when nothing is stored.
    static QList<RequirementPriority> restoreRequirementPriorities();

    QString descriptionString() const;

    bool operator==(const RequirementPriority&) const = default;

private:
    quint64 priorityID_ = 0;
    QString name_;
};

}  // namespace brelvo
