#pragma once

#include <QString>
#include <QVariant>

namespace brelvo::appinfo {

// The host application's information values: a dynamic property of the
// application object (qApp->setProperty("brelvo_project_id", ...)), else the
// environment variable of the key in upper case (BRELVO_PROJECT_ID). None when
// neither is set.
QVariant value(const QString& key);

// desktopFileName, else organizationDomain + "." + applicationName.
QString bundleIdentifier();
QString bundleVersion();

// "brelvo_service_url", else the local brelvo-service; always ends with "/".
QString serviceUrl();

}  // namespace brelvo::appinfo
