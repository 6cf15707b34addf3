#include "diagnostics/StoredLogBatches.h"

#include "platform/AppPaths.h"
#include "platform/Defaults.h"
#include "platform/FileReplace.h"
#include "platform/Log.h"
#include "platform/PropertyList.h"
#include "platform/VariantKinds.h"

#include <QDir>
#include <QFile>
#include <QVariantMap>

#include <mutex>

#include <fcntl.h>
#include <unistd.h>

namespace brelvo {

namespace {

const QString kKey = QString::fromLatin1(StoredLogBatches::kKey);
const QString kLogs = QStringLiteral("logs");
const QString kToken = QStringLiteral("token");
const QString kSuffix = QStringLiteral(".plist");

// The stored array; anything else under the key (a text would otherwise
// convert to a one-item list) reads as empty.
QVariantList storedList() {
    const QVariant value = Defaults::standard().object(kKey);
    return variants::listOf(value);
}

qsizetype textBytes(const QVariantList& list) {
    qsizetype total = 0;
    for (const QVariant& v : list) total += v.toMap().value(kLogs).toString().size();
    return total;
}

// A rename is only durable once the folder itself is synced.
void syncFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// Takes a delivered batch off the front of the array. A batch merged into
// while it was being sent keeps what was added meanwhile. False when the front
// is not the batch (which only another process sharing the store could cause).
bool removeDelivered(const QString& logs, const QString& token) {
    bool removed = false;
    Defaults::standard().update(kKey, [&](const QVariant& current) {
        QVariantList list = variants::listOf(current);
        if (list.isEmpty()) return QVariant();
        QVariantMap first = list.first().toMap();
        const QString stored = first.value(kLogs).toString();
        if (first.value(kToken).toString() == token && stored == logs) {
            list.removeFirst();
            removed = true;
        } else if (first.value(kToken).toString() == token && stored.startsWith(logs + QLatin1Char(','))) {
            first.insert(kLogs, stored.mid(logs.size() + 1));
            list.first() = first;
            removed = true;
        }
        return list.isEmpty() ? QVariant() : QVariant(list);
    });
    if (!removed) qCWarning(lcBrelvo) << "stored log batches changed during their delivery; the delivery stops";
    return removed;
}

bool readFile(const QString& path, QString* logs, QString* token) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QVariantMap batch = plist::fromData(file.readAll()).toMap();
    *logs = batch.value(kLogs).toString();
    *token = batch.value(kToken).toString();
    return !logs->isEmpty();
}

}  // namespace

StoredLogBatches& StoredLogBatches::shared() {
    static StoredLogBatches* instance = new StoredLogBatches;  // lives until the process ends
    return *instance;
}

QString StoredLogBatches::folder() {
    return paths::documents() + QStringLiteral("/BrelvoLogBatches");
}

QStringList StoredLogBatches::files() const {
    QStringList names = QDir(folder()).entryList({QStringLiteral("*") + kSuffix}, QDir::Files, QDir::Name);
    for (QString& name : names) name = folder() + QLatin1Char('/') + name;
    return names;
}

bool StoredLogBatches::isEmpty() const {
    return storedList().isEmpty() && fileCount() == 0;
}

int StoredLogBatches::fileCount() const {
    return int(files().size());
}

bool StoredLogBatches::writeFile(const QString& logs, const QString& token) {
    if (!QDir().mkpath(folder())) return false;
    // Names are zero-padded sequence numbers, so the name order is the age order.
    const QStringList existing = files();
    const qint64 last = existing.isEmpty() ? 0 : QFileInfo(existing.last()).completeBaseName().toLongLong();
    const QString path = folder() + QStringLiteral("/%1").arg(last + 1, 20, 10, QLatin1Char('0')) + kSuffix;
    const QByteArray bytes = plist::toBinary(QVariantMap{{kLogs, logs}, {kToken, token}});
    QString error;
    if (bytes.isEmpty() || !files::replaceContentsSynced(path, bytes, &error)) {
        qCWarning(lcBrelvo) << "log batch could not be written to" << path << ":" << error;
        return false;
    }
    syncFolder(folder());
    return true;
}

void StoredLogBatches::append(const QString& logs, const QString& token) {
    if (logs.isEmpty()) return;  // nothing to deliver
    QMutexLocker lock(&appendMutex_);
    // Once batches wait in files, newer ones follow them there, keeping the order.
    const QVariantList current = storedList();
    if (fileCount() > 0 || (!current.isEmpty() && textBytes(current) + logs.size() > kMaxKeyBytes)) {
        if (writeFile(logs, token)) return;
        // The files failed (a full disk): the array is the last place left.
        qCWarning(lcBrelvo) << "log batch kept in the defaults store instead";
    }
    Defaults::standard().update(kKey, [&](const QVariant& value) {
        QVariantList list = variants::listOf(value);
        if (!list.isEmpty()) {
            QVariantMap last = list.last().toMap();
            const QString lastLogs = last.value(kLogs).toString();
            if (last.value(kToken).toString() == token && !lastLogs.isEmpty() &&
                lastLogs.size() + logs.size() < kMaxMergedBytes) {
                last.insert(kLogs, lastLogs + QLatin1Char(',') + logs);
                list.last() = last;
                return QVariant(list);
            }
        }
        list.append(QVariantMap{{kLogs, logs}, {kToken, token}});
        return QVariant(list);
    });
}

int StoredLogBatches::deliver(const std::function<bool(const QString&, const QString&)>& send) {
    std::unique_lock<QMutex> lock(deliverMutex_, std::try_to_lock);
    if (!lock.owns_lock()) return 0;  // the running delivery takes them all
    int delivered = 0;
    for (QVariantList list = storedList(); !list.isEmpty(); list = storedList()) {
        const QVariantMap first = list.first().toMap();
        const QString logs = first.value(kLogs).toString();
        const QString token = first.value(kToken).toString();
        if (!logs.isEmpty()) {
            if (!send(logs, token)) return delivered;
            ++delivered;
        }
        if (!removeDelivered(logs, token)) return delivered;
    }
    for (const QString& path : files()) {
        QString logs, token;
        if (!readFile(path, &logs, &token)) {
            qCWarning(lcBrelvo) << "unreadable log batch" << path << "moved aside";
            QFile::rename(path, path + QStringLiteral(".unreadable"));
            continue;
        }
        if (!send(logs, token)) return delivered;
        ++delivered;
        QFile::remove(path);
    }
    return delivered;
}

QVariantList StoredLogBatches::all() const {
    QVariantList batches = storedList();
    for (const QString& path : files()) {
        QString logs, token;
        if (readFile(path, &logs, &token)) batches.append(QVariantMap{{kLogs, logs}, {kToken, token}});
    }
    return batches;
}

}  // namespace brelvo
