#pragma once

#include <QString>
#include <QVariant>

#include <optional>

namespace brelvo {

// An issue property (type or priority) as a picker lists it.
class BrelvoIssuePropertiesDM {
public:
    // "id" when it is a number (else the number 0), "icon", "name" when they are
    // strings (else the empty string). None unless given a dictionary.
    static std::optional<BrelvoIssuePropertiesDM> modelFromDictionary(const QVariant& dictionary);

    QVariant ID() const { return id_; }
    QString icon() const { return icon_; }
    QString name() const { return name_; }

    bool operator==(const BrelvoIssuePropertiesDM&) const = default;

private:
    QVariant id_;
    QString icon_;
    QString name_;
};

}  // namespace brelvo
