#include "state/OrganizationDM.h"

#include "state/RecordValues.h"

namespace brelvo {

namespace {
const QString kStoreKey = QStringLiteral("Organization");
const QString kTitle = QStringLiteral("title");
const QString kIcon = QStringLiteral("icon");
}  // namespace

OrganizationDM::OrganizationDM(const QVariant& dictionary) {
    const QVariantMap map = records::mapOf(dictionary);
    title_ = records::textOf(map.value(kTitle));
    iconPath_ = records::textOf(map.value(kIcon));
}

QVariantMap OrganizationDM::dictionary() const {
    QVariantMap map;
    records::insertText(map, kTitle, title_);
    records::insertText(map, kIcon, iconPath_);
    return map;
}

void OrganizationDM::saveOrganization() const {
    records::storeAndSynchronize(dictionary(), kStoreKey);
}

OrganizationDM OrganizationDM::restoreOrganization() {
    return OrganizationDM(records::storedValue(kStoreKey));
}

QString OrganizationDM::descriptionString() const {
    return QStringLiteral("Organization Title: %1\nOrganization Icon Path: %2\n")
        .arg(records::describe(title_), records::describe(iconPath_));
}

}  // namespace brelvo
