#include "diagnostics/StoredLogBatches.h"

#include "platform/AppPaths.h"
#include "platform/Defaults.h"
#include "platform/FileReplace.h"
#include "platform/Log.h"
#include "platform/PropertyList.h"
#include "platform/VariantKinds.h"
#include "protocol/DeliveryId.h"

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
const QString kId = delivery::kEntryKey;
const QString kSuffix = QStringLiteral(".plist");

QVariantMap batchOf(const QString& logs, const QString& token, const QString& id) {
    return QVariantMap{{kLogs, logs}, {kToken, token}, {kId, id}};
}

// The batch's identifier; null for one stored before there were any.
QString idOf(const QVariantMap& batch) {
    const QString id = batch.value(kId).toString();
    return delivery::isId(id) ? id : QString();
}

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

// Takes a delivered batch off the front of the array. False when the front
// is not the batch (which only another process sharing the store could cause).
bool removeDelivered(const QVariantMap& sent) {
    bool removed = false;
    Defaults::standard().update(kKey, [&](const QVariant& current) {
        QVariantList list = variants::listOf(current);
        if (list.isEmpty()) return QVariant();
        const QVariantMap first = list.first().toMap();
        if (idOf(first) == idOf(sent) && first.value(kLogs) == sent.value(kLogs)) {
            list.removeFirst();
            removed = true;
        }
        return list.isEmpty() ? QVariant() : QVariant(list);
    });
    if (!removed) qCWarning(lcBrelvo) << "stored log batches changed during their delivery; the delivery stops";
    return removed;
}

bool readFile(const QString& path, QString* logs, QString* token, QString* id) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QVariantMap batch = plist::fromData(file.readAll()).toMap();
    *logs = batch.value(kLogs).toString();
    *token = batch.value(kToken).toString();
    *id = idOf(batch);
    return !logs->isEmpty();
}

bool writeBatchFile(const QString& path, const QString& logs, const QString& token, const QString& id) {
    const QByteArray bytes = plist::toBinary(batchOf(logs, token, id));
    QString error;
    if (bytes.isEmpty() || !files::replaceContentsSynced(path, bytes, &error)) {
        qCWarning(lcBrelvo) << "log batch could not be written to" << path << ":" << error;
        return false;
    }
    return true;
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

bool StoredLogBatches::writeFile(const QString& logs, const QString& token, const QString& deliveryId) {
    if (!QDir().mkpath(folder())) return false;
    // Names are zero-padded sequence numbers, so the name order is the age order.
    const QStringList existing = files();
    const qint64 last = existing.isEmpty() ? 0 : QFileInfo(existing.last()).completeBaseName().toLongLong();
    const QString path = folder() + QStringLiteral("/%1").arg(last + 1, 20, 10, QLatin1Char('0')) + kSuffix;
    if (!writeBatchFile(path, logs, token, deliveryId)) return false;
    syncFolder(folder());
    return true;
}

void StoredLogBatches::append(const QString& logs, const QString& token, const QString& deliveryId) {
    if (logs.isEmpty()) return;  // nothing to deliver
    QMutexLocker lock(&appendMutex_);
    const bool sentBefore = !deliveryId.isEmpty();
    const QString id = sentBefore ? deliveryId : delivery::newId();
    // Once batches wait in files, newer ones follow them there, keeping the order.
    const QVariantList current = storedList();
    if (fileCount() > 0 || (!current.isEmpty() && textBytes(current) + logs.size() > kMaxKeyBytes)) {
        if (writeFile(logs, token, id)) return;
        // The files failed (a full disk): the array is the last place left.
        qCWarning(lcBrelvo) << "log batch kept in the defaults store instead";
    }
    appendToArray(logs, token, id, sentBefore);
}

void StoredLogBatches::appendAsFile(const QString& logs, const QString& token) {
    if (logs.isEmpty()) return;
    QMutexLocker lock(&appendMutex_);
    const QString id = delivery::newId();
    if (writeFile(logs, token, id)) {
        joinable_.clear();  // the array's last batch is no longer the newest
        return;
    }
    qCWarning(lcBrelvo) << "log batch kept in the defaults store instead";
    appendToArray(logs, token, id, false);
}

void StoredLogBatches::appendToArray(const QString& logs, const QString& token, const QString& id, bool sentBefore) {
    bool joined = false;
    Defaults::standard().update(kKey, [&](const QVariant& value) {
        QVariantList list = variants::listOf(value);
        joined = false;
        if (!sentBefore && !list.isEmpty() && !joinable_.isEmpty()) {
            QVariantMap last = list.last().toMap();
            const QString lastLogs = last.value(kLogs).toString();
            if (idOf(last) == joinable_ && last.value(kToken).toString() == token && !lastLogs.isEmpty() &&
                lastLogs.size() + logs.size() < kMaxMergedBytes) {
                last.insert(kLogs, lastLogs + QLatin1Char(',') + logs);
                list.last() = last;
                joined = true;
                return QVariant(list);
            }
        }
        list.append(batchOf(logs, token, id));
        return QVariant(list);
    });
    if (!joined) joinable_ = sentBefore ? QString() : id;
}

QVariant StoredLogBatches::takeFront() {
    QMutexLocker lock(&appendMutex_);
    const QVariantList list = storedList();
    if (list.isEmpty()) return QVariant();
    QVariantMap front = list.first().toMap();
    const QString id = idOf(front);
    if (!id.isEmpty()) {
        if (id == joinable_) joinable_.clear();
        return front;
    }
    // Stored before identifiers existed: it gets one before it is sent, so a
    // resend after a kill carries the same.
    front.insert(kId, delivery::newId());
    bool replaced = false;
    Defaults::standard().update(kKey, [&](const QVariant& current) {
        QVariantList stored = variants::listOf(current);
        replaced = !stored.isEmpty() && stored.first() == list.first();
        if (replaced) stored.first() = front;
        return stored.isEmpty() ? QVariant() : QVariant(stored);
    });
    return replaced ? QVariant(front) : QVariant();
}

int StoredLogBatches::deliver(const Send& send) {
    std::unique_lock<QMutex> lock(deliverMutex_, std::try_to_lock);
    if (!lock.owns_lock()) return 0;  // the running delivery takes them all
    int delivered = 0;
    while (!storedList().isEmpty()) {
        const QVariant taken = takeFront();
        if (!taken.isValid()) {
            qCWarning(lcBrelvo) << "stored log batches changed during their delivery; the delivery stops";
            return delivered;
        }
        const QVariantMap batch = taken.toMap();
        const QString logs = batch.value(kLogs).toString();
        if (!logs.isEmpty()) {
            if (!send(logs, batch.value(kToken).toString(), idOf(batch))) return delivered;
            ++delivered;
        }
        if (!removeDelivered(batch)) return delivered;
    }
    for (const QString& path : files()) {
        QString logs, token, id;
        if (!readFile(path, &logs, &token, &id)) {
            qCWarning(lcBrelvo) << "unreadable log batch" << path << "moved aside";
            QFile::rename(path, path + QStringLiteral(".unreadable"));
            continue;
        }
        if (id.isEmpty()) {  // stored before identifiers existed
            id = delivery::newId();
            if (!writeBatchFile(path, logs, token, id)) return delivered;
        }
        if (!send(logs, token, id)) return delivered;
        ++delivered;
        QFile::remove(path);
    }
    return delivered;
}

QVariantList StoredLogBatches::all() const {
    QVariantList batches = storedList();
    for (const QString& path : files()) {
        QString logs, token, id;
        if (readFile(path, &logs, &token, &id)) batches.append(batchOf(logs, token, id));
    }
    return batches;
}

}  // namespace brelvo
