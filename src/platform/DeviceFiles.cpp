#include "platform/DeviceFiles.h"

#include <QMutex>
#include <QMutexLocker>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace brelvo::devicefiles {
namespace {

struct Roots {
    QMutex mutex;
    QString sysfs;
    QString proc;
};

Roots& roots() {
    static Roots r;
    return r;
}

}  // namespace

QString sysfsRoot() {
    QMutexLocker lock(&roots().mutex);
    return roots().sysfs.isEmpty() ? QStringLiteral("/sys") : roots().sysfs;
}

QString procRoot() {
    QMutexLocker lock(&roots().mutex);
    return roots().proc.isEmpty() ? QStringLiteral("/proc") : roots().proc;
}

void setSysfsRoot(const QString& root) {
    QMutexLocker lock(&roots().mutex);
    roots().sysfs = root;
}

void setProcRoot(const QString& root) {
    QMutexLocker lock(&roots().mutex);
    roots().proc = root;
}

QByteArray read(const QString& path, bool* ok) {
    if (ok) *ok = false;
    const QByteArray name = path.toLocal8Bit();
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    QByteArray data;
    char buffer[4096];
    bool failed = false;
    // Kernel files here are a few kilobytes at most; the cap guards against a
    // path that turned out to be something endless.
    while (data.size() < (1 << 20)) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            failed = true;
            break;
        }
        if (n == 0) break;
        data.append(buffer, n);
    }
    ::close(fd);
    if (failed) return {};
    if (ok) *ok = true;
    return data;
}

QString readLine(const QString& path) {
    QByteArray data = read(path);
    const qsizetype end = data.indexOf('\n');
    if (end >= 0) data.truncate(end);
    while (!data.isEmpty() && data.back() == '\0') data.chop(1);
    return QString::fromUtf8(data).trimmed();
}

}  // namespace brelvo::devicefiles
