#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <optional>

namespace brelvo {

// An issue priority of the authentication answer.
// Archived under the keys "Priority_ID", "Priority_icon", "Priority_name".
class BrelIssuePriorityDM {
public:
    // "id" when it is a number (else the number 0), "icon", "name" when they are
    // strings (else the empty string). None unless given a dictionary.
    static std::optional<BrelIssuePriorityDM> modelFromDictionary(const QVariant& dictionary);

    QVariantMap encodeWithCoder() const;
    // None unless given a dictionary; a key that is missing leaves its field without value.
    static std::optional<BrelIssuePriorityDM> initWithCoder(const QVariant& archive);

    QVariant ID() const { return id_; }
    QString icon() const { return icon_; }
    QString name() const { return name_; }

    bool operator==(const BrelIssuePriorityDM&) const = default;

private:
    QVariant id_;
    QString icon_;
    QString name_;
};

}  // namespace brelvo
