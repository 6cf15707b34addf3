#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <optional>

namespace brelvo {

// The revision of the authentication answer; "project" and "organization" are titles.
// Every field is text, archived under its name prefixed with "Revision_".
class BrelRevisionDM {
public:
    // Copies the members named like the fields. None unless given a dictionary.
    static std::optional<BrelRevisionDM> modelFromDictionary(const QVariant& dictionary);

    QVariantMap encodeWithCoder() const;
    // None unless given a dictionary; a key that is missing leaves its field without value.
    static std::optional<BrelRevisionDM> initWithCoder(const QVariant& archive);

    QString title() const { return title_; }
    QString build_number() const { return build_number_; }
    QString icon() const { return icon_; }
    QString project() const { return project_; }
    QString organization() const { return organization_; }

    bool operator==(const BrelRevisionDM&) const = default;

private:
    QString title_;
    QString build_number_;
    QString icon_;
    QString project_;
    QString organization_;
};

}  // namespace brelvo
