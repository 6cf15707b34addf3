#include "platform/UrlOpener.h"

#include "platform/Log.h"

#include <QDesktopServices>
#include <QMutex>
#include <QProcess>
#include <QStandardPaths>

namespace brelvo::urls {
namespace {

struct TestHooks {
    QMutex mutex;
    std::function<bool(const QUrl&)> opener;
    std::function<bool(const QString&)> canOpenScheme;
};

TestHooks& hooks() {
    static TestHooks h;
    return h;
}

// A scheme name as the MIME database spells it: letters, digits, "+", "-", ".".
bool isPlainScheme(const QString& scheme) {
    if (scheme.isEmpty()) return false;
    for (const QChar c : scheme)
        if (!(c.isLetterOrNumber() || c == u'+' || c == u'-' || c == u'.')) return false;
    return true;
}

bool desktopHandlesScheme(const QString& scheme) {
    if (!isPlainScheme(scheme)) return false;
    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (xdgMime.isEmpty()) return false;
    QProcess query;
    query.start(xdgMime, {QStringLiteral("query"), QStringLiteral("default"),
                          QStringLiteral("x-scheme-handler/") + scheme.toLower()});
    // The question must not hold up the GUI for long; no answer means no handler.
    if (!query.waitForFinished(1500)) {
        query.kill();
        query.waitForFinished(500);
        qCWarning(lcBrelvo).noquote() << "xdg-mime did not answer for scheme" << scheme;
        return false;
    }
    return query.exitStatus() == QProcess::NormalExit && query.exitCode() == 0 &&
           !query.readAllStandardOutput().trimmed().isEmpty();
}

}  // namespace

bool canOpenURL(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    if (scheme.isEmpty()) return false;
    {
        QMutexLocker lock(&hooks().mutex);
        if (hooks().opener) return hooks().canOpenScheme ? hooks().canOpenScheme(scheme) : true;
    }
    if (scheme == u"http" || scheme == u"https" || scheme == u"mailto" || scheme == u"file") return true;
    return desktopHandlesScheme(scheme);
}

bool openURL(const QUrl& url) {
    std::function<bool(const QUrl&)> opener;
    {
        QMutexLocker lock(&hooks().mutex);
        opener = hooks().opener;
    }
    if (opener) return opener(url);
    if (!url.isValid() || url.scheme().isEmpty()) {
        qCWarning(lcBrelvo).noquote() << "not an address that can be opened:" << url.toString();
        return false;
    }
    const bool opened = QDesktopServices::openUrl(url);
    if (!opened) qCWarning(lcBrelvo).noquote() << "the desktop could not open" << url.toString();
    return opened;
}

void setOpenerForTesting(std::function<bool(const QUrl&)> opener, std::function<bool(const QString&)> canOpenScheme) {
    QMutexLocker lock(&hooks().mutex);
    hooks().opener = std::move(opener);
    hooks().canOpenScheme = hooks().opener ? std::move(canOpenScheme) : std::function<bool(const QString&)>();
}

}  // namespace brelvo::urls
