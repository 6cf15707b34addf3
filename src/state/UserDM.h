#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

namespace brelvo {

// The tester signed in on this device. Kept in the defaults store under "User".
class UserDM {
public:
    // Copies "full_name", "image", "role", "uid", "email" and "role_name";
    // anything but a dictionary gives an empty record.
    explicit UserDM(const QVariant& dictionary = {});

    QString name() const { return name_; }
    QString iconPath() const { return iconPath_; }
    QString role() const { return role_; }
    QString userID() const { return userID_; }
    QString email() const { return email_; }
    QString roleName() const { return roleName_; }

    // Only the profile answer carries the address; it completes a user built
    // from the authentication answer.
    void setupEmail(const QString& email) { email_ = email; }

    QVariantMap dictionary() const;
    void saveUser() const;
    static UserDM restoreUser();

    QString descriptionString() const;

    bool operator==(const UserDM&) const = default;

private:
    QString name_;
    QString iconPath_;
    QString role_;
    QString userID_;
    QString email_;
    QString roleName_;
};

}  // namespace brelvo
