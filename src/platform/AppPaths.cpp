#include "platform/AppPaths.h"

#include "platform/Log.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

namespace brelvo::paths {
namespace {

QString ensured(const QString& folder) {
    if (!QDir().mkpath(folder)) qCWarning(lcBrelvo) << "cannot create folder" << folder;
    return folder;
}

QString underHome(const char* name) {
    const QString home = qEnvironmentVariable("BRELVO_HOME");
    return home.isEmpty() ? QString() : ensured(QDir(home).filePath(QLatin1String(name)));
}

}  // namespace

QString documents() {
    const QString home = underHome("Documents");
    if (!home.isEmpty()) return home;
    return ensured(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

QString caches() {
    const QString home = underHome("Caches");
    if (!home.isEmpty()) return home;
    return ensured(QStandardPaths::writableLocation(QStandardPaths::CacheLocation));
}

QString temporary() {
    const QString home = underHome("tmp");
    if (!home.isEmpty()) return home;
    // The system temporary folder is shared by every program; keep ours apart.
    QString name = QCoreApplication::applicationName();
    if (name.isEmpty()) name = QStringLiteral("brelvo");
    return ensured(QDir(QStandardPaths::writableLocation(QStandardPaths::TempLocation)).filePath(name));
}

}  // namespace brelvo::paths
