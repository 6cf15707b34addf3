#include "state/ProjectDM.h"

#include "state/RecordValues.h"

namespace brelvo {

namespace {
const QString kStoreKey = QStringLiteral("Project");
const QString kTitle = QStringLiteral("title");
const QString kIcon = QStringLiteral("icon");
}  // namespace

ProjectDM::ProjectDM(const QVariant& dictionary) {
    const QVariantMap map = records::mapOf(dictionary);
    title_ = records::textOf(map.value(kTitle));
    iconPath_ = records::textOf(map.value(kIcon));
}

QVariantMap ProjectDM::dictionary() const {
    QVariantMap map;
    records::insertText(map, kTitle, title_);
    records::insertText(map, kIcon, iconPath_);
    return map;
}

void ProjectDM::saveProject() const {
    records::storeAndSynchronize(dictionary(), kStoreKey);
}

ProjectDM ProjectDM::restoreProject() {
    return ProjectDM(records::storedValue(kStoreKey));
}

QString ProjectDM::descriptionString() const {
    return QStringLiteral("Project Title: %1\nProject Icon Path: %2\n")
        .arg(records::describe(title_), records::describe(iconPath_));
}

}  // namespace brelvo
