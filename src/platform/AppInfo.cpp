#include "platform/AppInfo.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMutex>

namespace brelvo::appinfo {

QVariant value(const QString& key) {
    if (QCoreApplication* app = QCoreApplication::instance()) {
        const QVariant property = app->property(key.toUtf8().constData());
        if (property.isValid()) return property;
    }
    const QByteArray name = key.toUpper().toUtf8();
    if (qEnvironmentVariableIsSet(name.constData())) return qEnvironmentVariable(name.constData());
    return {};
}

QString bundleIdentifier() {
    const QString desktop = QGuiApplication::desktopFileName();
    if (!desktop.isEmpty()) return desktop;
    const QString domain = QCoreApplication::organizationDomain();
    const QString name = QCoreApplication::applicationName();
    return domain.isEmpty() ? name : domain + QLatin1Char('.') + name;
}

QString bundleVersion() {
    return QCoreApplication::applicationVersion();
}

namespace {

// Read by requests on any thread, up to the process's end.
struct UrlInCode {
    QMutex mutex;
    QString url;
};
UrlInCode& urlInCode() {
    static UrlInCode* instance = new UrlInCode;  // lives until the process ends
    return *instance;
}

}  // namespace

void setServiceUrl(const QString& url) {
    QMutexLocker lock(&urlInCode().mutex);
    urlInCode().url = url;
}

QString serviceUrl() {
    QString url;
    {
        QMutexLocker lock(&urlInCode().mutex);
        url = urlInCode().url;
    }
    if (url.isEmpty()) url = value(QStringLiteral("brelvo_service_url")).toString();
    if (url.isEmpty()) url = QStringLiteral("http://127.0.0.1:8642/");
    if (!url.endsWith(QLatin1Char('/'))) url += QLatin1Char('/');
    return url;
}

}  // namespace brelvo::appinfo
