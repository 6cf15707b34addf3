#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

namespace brelvo {

// The project under test as the service names it: a title and an icon.
// Kept in the defaults store under "Project".
class ProjectDM {
public:
    // Copies "title" and "icon"; anything but a dictionary gives an empty record.
    explicit ProjectDM(const QVariant& dictionary = {});

    QString title() const { return title_; }
    void setTitle(const QString& title) { title_ = title; }
    QString iconPath() const { return iconPath_; }

    QVariantMap dictionary() const;
    void saveProject() const;
    // The stored record, or an empty one when nothing (or no dictionary) is stored.
    static ProjectDM restoreProject();

    QString descriptionString() const;

    bool operator==(const ProjectDM&) const = default;

private:
    QString title_;
    QString iconPath_;
};

}  // namespace brelvo
