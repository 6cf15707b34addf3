#pragma once

#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantMap>

namespace brelvo {

// A kind of issue the project accepts (bug, crash, …).
// The list is kept in the defaults store under "IssueTypes".
class IssueType {
public:
    // "id" (a number or a numeric string; 0 when missing) and "name";
    // anything but a dictionary gives an empty record.
    explicit IssueType(const QVariant& dictionary = {});

    quint64 typeID() const { return typeID_; }
    void setTypeID(quint64 id) { typeID_ = id; }
    QString name() const { return name_; }

    // "id" as an unsigned number, "name" when it has a value.
    QVariantMap dictionary() const;
    static void saveArrayOfIssueTypes(const QList<IssueType>& list);
    // The stored list in order; empty when nothing is stored.
    static QList<IssueType> restoreIssueTypes();

    QString descriptionString() const;

    bool operator==(const IssueType&) const = default;

private:
    quint64 typeID_ = 0;
    QString name_;
};

}  // namespace brelvo
