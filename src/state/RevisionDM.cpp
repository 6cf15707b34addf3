#include "state/RevisionDM.h"

#include "state/RecordValues.h"

namespace brelvo {

namespace {
const QString kStoreKey = QStringLiteral("Revision");
const QString kTitle = QStringLiteral("title");
const QString kBuildNumber = QStringLiteral("build_number");
const QString kIcon = QStringLiteral("icon");
}  // namespace

RevisionDM::RevisionDM(const QVariant& dictionary) {
    const QVariantMap map = records::mapOf(dictionary);
    title_ = records::textOf(map.value(kTitle));
    buildNumber_ = records::textOf(map.value(kBuildNumber));
    iconPath_ = records::textOf(map.value(kIcon));
}

QVariantMap RevisionDM::dictionary() const {
    QVariantMap map;
    records::insertText(map, kTitle, title_);
    records::insertText(map, kBuildNumber, buildNumber_);
    records::insertText(map, kIcon, iconPath_);
    return map;
}

void RevisionDM::saveRevision() const {
    records::storeAndSynchronize(dictionary(), kStoreKey);
}

RevisionDM RevisionDM::restoreRevision() {
    return RevisionDM(records::storedValue(kStoreKey));
}

QString RevisionDM::descriptionString() const {
    return QStringLiteral("Revision Title: %1\nRevision Build Number: %2\nRevision Icon Path: %3\n")
        .arg(records::describe(title_), records::describe(buildNumber_), records::describe(iconPath_));
}

}  // namespace brelvo
