#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <optional>

namespace brelvo {

// A requirement priority of the authentication answer.
// Archived under the keys "Req_Priority_ID", "Req_Priority_name".
class BrelRequirementPriority {
public:
    // "id" when it is a number (else the number 0), "name" when it is a
    // string (else the empty string). None unless given a dictionary.
    static std::optional<BrelRequirementPriority> modelFromDictionary(const QVariant& dictionary);

    QVariantMap encodeWithCoder() const;
    // None unless given a dictionary; a key that is missing leaves its field without value.
    static std::optional<BrelRequirementPriority> initWithCoder(const QVariant& archive);

    QVariant ID() const { return id_; }
    QString name() const { return name_; }

    bool operator==(const BrelRequirementPriority&) const = default;

private:
    QVariant id_;
    QString name_;
};

}  // namespace brelvo
