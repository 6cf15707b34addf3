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

// The address set in code, else "brelvo_service_url", else the local
// brelvo-service; always ends with "/".
QString serviceUrl();
// Sets the address in code (any thread); an empty one gives the property and
// the environment back their say.
void setServiceUrl(const QString& url);

}  // namespace brelvo::appinfo
