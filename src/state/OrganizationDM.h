#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

namespace brelvo {

// The organization that owns the project, as the service names it: a title and an icon.
// Kept in the defaults store under "Organization".
class OrganizationDM {
public:
    // Copies "title" and "icon"; anything but a dictionary gives an empty record.
    explicit OrganizationDM(const QVariant& dictionary = {});

    QString title() const { return title_; }
    void setTitle(const QString& title) { title_ = title; }
    QString iconPath() const { return iconPath_; }

    QVariantMap dictionary() const;
    void saveOrganization() const;
    // The stored record, or an empty one when nothing (or no dictionary) is stored.
    static OrganizationDM restoreOrganization();

    QString descriptionString() const;

    bool operator==(const OrganizationDM&) const = default;

private:
    QString title_;
    QString iconPath_;
};

}  // namespace brelvo
