#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <optional>

namespace brelvo {

// The tester of the authentication answer.
// Every field is text, archived under its name prefixed with "User_".
class BrelUserDM {
public:
    // Copies the members named like the fields. None unless given a dictionary.
    static std::optional<BrelUserDM> modelFromDictionary(const QVariant& dictionary);

    QVariantMap encodeWithCoder() const;
    // None unless given a dictionary; a key that is missing leaves its field without value.
    static std::optional<BrelUserDM> initWithCoder(const QVariant& archive);

    QString full_name() const { return full_name_; }
    QString image() const { return image_; }
    QString role() const { return role_; }

    bool operator==(const BrelUserDM&) const = default;

private:
    QString full_name_;
    QString image_;
    QString role_;
};

}  // namespace brelvo
