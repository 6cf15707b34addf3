#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

namespace brelvo {

// The build under test. Kept in the defaults store under "Revision".
class RevisionDM {
public:
    // Copies "title", "build_number" and "icon"; anything but a dictionary
    // gives an empty record.
    explicit RevisionDM(const QVariant& dictionary = {});

    QString title() const { return title_; }
    QString buildNumber() const { return buildNumber_; }
    QString iconPath() const { return iconPath_; }

    QVariantMap dictionary() const;
    void saveRevision() const;
    static RevisionDM restoreRevision();

    QString descriptionString() const;

    bool operator==(const RevisionDM&) const = default;

private:
    QString title_;
    QString buildNumber_;
    QString iconPath_;
};

}  // namespace brelvo
