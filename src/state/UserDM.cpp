#include "state/UserDM.h"

#include "state/RecordValues.h"

namespace brelvo {

namespace {
const QString kStoreKey = QStringLiteral("User");
const QString kName = QStringLiteral("full_name");
const QString kImage = QStringLiteral("image");
const QString kRole = QStringLiteral("role");
const QString kUid = QStringLiteral("uid");
const QString kEmail = QStringLiteral("email");
const QString kRoleName = QStringLiteral("role_name");
}  // namespace

UserDM::UserDM(const QVariant& dictionary) {
    const QVariantMap map = records::mapOf(dictionary);
    name_ = records::textOf(map.value(kName));
    iconPath_ = records::textOf(map.value(kImage));
    role_ = records::textOf(map.value(kRole));
    userID_ = records::textOf(map.value(kUid));
    email_ = records::textOf(map.value(kEmail));
    roleName_ = records::textOf(map.value(kRoleName));
}

QVariantMap UserDM::dictionary() const {
    QVariantMap map;
    records::insertText(map, kName, name_);
    records::insertText(map, kImage, iconPath_);
    records::insertText(map, kRole, role_);
    records::insertText(map, kUid, userID_);
    records::insertText(map, kEmail, email_);
    records::insertText(map, kRoleName, roleName_);
    return map;
}

void UserDM::saveUser() const {
    records::storeAndSynchronize(dictionary(), kStoreKey);
}

UserDM UserDM::restoreUser() {
    return UserDM(records::storedValue(kStoreKey));
}

QString UserDM::descriptionString() const {
    return QStringLiteral("User Title: %1\nUser Icon Path: %2\nUser Role: %3\nUser ID: %4\nUser Email: %5\n"
                          "User Role Name: %6\n")
        .arg(records::describe(name_), records::describe(iconPath_), records::describe(role_),
             records::describe(userID_), records::describe(email_), records::describe(roleName_));
}

}  // namespace brelvo
