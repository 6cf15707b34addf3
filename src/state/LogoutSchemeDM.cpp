#include "state/LogoutSchemeDM.h"

#include "state/RecordValues.h"

namespace brelvo {

namespace {
const QString kStoreKey = QStringLiteral("LogoutScheme");
const QString kUrl = QStringLiteral("url");
const QString kInstallUrl = QStringLiteral("install_url");
}  // namespace

LogoutSchemeDM::LogoutSchemeDM(const QVariant& dictionary) {
    const QVariantMap map = records::mapOf(dictionary);
    url_ = records::textOf(map.value(kUrl));
    installURL_ = records::textOf(map.value(kInstallUrl));
}

QVariantMap LogoutSchemeDM::dictionary() const {
    QVariantMap map;
    records::insertText(map, kUrl, url_);
    records::insertText(map, kInstallUrl, installURL_);
    return map;
}

void LogoutSchemeDM::saveLogoutScheme() const {
    records::storeAndSynchronize(dictionary(), kStoreKey);
}

LogoutSchemeDM LogoutSchemeDM::restoreLogoutScheme() {
    return LogoutSchemeDM(records::storedValue(kStoreKey));
}

}  // namespace brelvo
