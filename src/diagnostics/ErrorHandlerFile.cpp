#include "diagnostics/ErrorHandlerFile.h"

#include "diagnostics/GetSystemInfoBrelvo.h"
#include "platform/AppPaths.h"
#include "platform/FileReplace.h"
#include "platform/Log.h"
#include "platform/PropertyList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QVariantMap>

namespace brelvo::errorhandler {

namespace {

const QString kFileName = QStringLiteral("ErrorHandler.plist");
const QString kExitCode = QStringLiteral("ExitCode");
const QString kLogFileName = QStringLiteral("MVLogFileName");

// The dictionary in the file, or an invalid value when there is none.
QVariant readDictionary() {
    QFile file(plistPath());
    if (!file.open(QIODevice::ReadOnly)) return QVariant();
    const QVariant value = plist::fromData(file.readAll());
    return value.typeId() == QMetaType::QVariantMap ? value : QVariant();
}

// Atomic: a crash while writing leaves the old file or the new one.
bool writeDictionary(const QVariantMap& dictionary) {
    return files::replaceContentsSynced(plistPath(), plist::toXml(dictionary));
}

}  // namespace

QString folderPath() {
    return paths::documents() + QStringLiteral("/MorivaFiles");
}

QString plistPath() {
    return folderPath() + QLatin1Char('/') + kFileName;
}

void createMorivaFolderInDocumentsFolder() {
    const QString folder = folderPath();
    if (QFileInfo::exists(folder)) return;
    if (!QDir().mkpath(folder)) qCWarning(lcBrelvo) << "could not create" << folder;
}

void createPlist() {
    if (readDictionary().isValid()) return;
    const QVariantMap dictionary{
        {kExitCode, QStringLiteral("1")},
        {kLogFileName, QStringLiteral("%1/MorivaFiles/%2MVLogFile.txt")
                           .arg(paths::documents(), GetSystemInfoBrelvo::shared().getCurrentTime())},
    };
    if (!writeDictionary(dictionary)) qCWarning(lcBrelvo) << "could not write" << plistPath();
}

void setAppStatus(int status) {
    QVariant value = readDictionary();
    if (!value.isValid()) return;
    QVariantMap dictionary = value.toMap();
    dictionary.insert(kExitCode, QString::number(status));
    if (!writeDictionary(dictionary)) qCWarning(lcBrelvo) << "could not write" << plistPath();
}

}  // namespace brelvo::errorhandler
