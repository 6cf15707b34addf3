#include "ui/images/ImageCacheFiles.h"

#include "platform/AppPaths.h"
#include "platform/FileReplace.h"
#include "platform/Log.h"

#include <QCryptographicHash>
#include <QDir>

namespace brelvo::imagecache {
namespace {

bool keptAsIs(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'_' ||
           c == u':' || c == u'-';
}

}  // namespace

QString fileNameForURL(const QString& url) {
    QString mapped = url;
    mapped.remove(QStringLiteral("http://"));
    mapped.replace(QLatin1Char('/'), QLatin1Char('_'));
    mapped.replace(QLatin1Char('.'), QLatin1Char('_'));

    QString name;
    name.reserve(mapped.size());
    for (const QChar ch : mapped) {
        if (keptAsIs(ch.unicode())) {
            name.append(ch);
            continue;
        }
        // A lone surrogate encodes as U+FFFD's bytes: still a valid, contained name.
        for (const char byte : QString(ch).toUtf8())
            name.append(QStringLiteral("%%1").arg(static_cast<uchar>(byte), 2, 16, QLatin1Char('0')).toUpper());
    }
    if (name.size() > kMaxNameBytes) {
        // File names are limited to 255 bytes; keep the readable head and make
        // the tail unique to the whole URL.
        const QByteArray hash = QCryptographicHash::hash(name.toLatin1(), QCryptographicHash::Sha1).toHex();
        name = name.left(kMaxNameBytes - 1 - hash.size()) + QLatin1Char('-') + QString::fromLatin1(hash);
    }
    return name;
}

QString filePathForURL(const QString& url) {
    return QDir(paths::caches()).filePath(fileNameForURL(url) + QStringLiteral(".png"));
}

bool writeAtomically(const QString& path, const QByteArray& bytes) {
    QString error;
    if (files::replaceContentsSynced(path, bytes, &error)) return true;
    qCWarning(lcBrelvo) << "cannot write the cached picture" << path << ":" << error;
    return false;
}

}  // namespace brelvo::imagecache
