#include "diagnostics/CrashHelper.h"

#include "diagnostics/GetSystemInfoBrelvo.h"
#include "platform/Defaults.h"
#include "platform/Dispatch.h"
#include "platform/HostEvents.h"
#include "platform/Log.h"
#include "platform/VariantKinds.h"
#include "protocol/DeliveryId.h"
#include "protocol/JSONClientBrelvo.h"
#include "protocol/NetworkClientBrelvo.h"
#include "state/SharedState.h"

#include <QMutex>

#include <mutex>

namespace brelvo {

namespace {

const QString kCrash = QStringLiteral("crash");
const QString kState = QStringLiteral("state");
const QString kToken = QStringLiteral("token");
const QString kRid = QStringLiteral("rid");
const QString kUid = QStringLiteral("uid");

QString crashesKey() {
    return QString::fromLatin1(CrashHelper::kCrashesKey);
}

QVariantMap makeEntry(const QString& log, const QByteArray& state, const QString& token, const QString& rid,
                      const QString& uid, const QString& deliveryId) {
    QVariantMap entry{{kCrash, log}, {kState, QString::fromUtf8(state)}, {kToken, token}, {kRid, rid},
                      {delivery::kEntryKey, deliveryId.isEmpty() ? delivery::newId() : deliveryId}};
    if (!uid.isNull()) entry.insert(kUid, uid);
    return entry;
}

// The entry's identifier; null for an entry queued before there were any.
QString deliveryIdOf(const QVariantMap& entry) {
    const QString id = entry.value(delivery::kEntryKey).toString();
    return delivery::isId(id) ? id : QString();
}

bool sendCrash(const QString& log, const QString& token, const QByteArray& state, const QString& rid,
               const QString& uid, const QString& deliveryId) {
    const QByteArray body =
        JSONClientBrelvo::shared().getCrashData(CrashHelper::shared().apiKey(), log, token, state, rid, uid);
    const QString answer =
        NetworkClientBrelvo::shared().makePOSTRequestWithMethod(QStringLiteral("post_crash"), body, deliveryId);
    if (answer.isEmpty()) return false;
    SharedState::shared().setBrelTrigger(0);  // any answer counts as delivered
    hostevents::emitEvent(&BrelvoEvents::crashReportSent);
    return true;
}

}  // namespace

CrashHelper& CrashHelper::shared() {
    static CrashHelper* instance = new CrashHelper;  // lives until the process ends
    return *instance;
}

void CrashHelper::configure(const StartContext& context) {
    QMutexLocker lock(&mutex_);
    apiKey_ = context.apiKey;
}

QString CrashHelper::apiKey() const {
    QMutexLocker lock(&mutex_);
    return apiKey_;
}

void CrashHelper::postCrash(const QString& log, const QString& token, const QByteArray& state, const QString& rid,
                            const QString& uid, const QString& deliveryId) {
    const QString id = deliveryId.isEmpty() ? delivery::newId() : deliveryId;
    if (sendCrash(log, token, state, rid, uid, id)) return;
    qCInfo(lcBrelvo) << "crash report not delivered; kept for the next session";
    appendEntry(makeEntry(log, state, token, rid, uid, id));
    hostevents::emitEvent(&BrelvoEvents::crashReportQueued);
}

void CrashHelper::queueCrash(const QString& log, const QByteArray& state, const QString& rid) {
    const NetworkClientBrelvo& transport = NetworkClientBrelvo::shared();
    appendEntry(makeEntry(log, state, transport.access_token(), rid, storedUserId(), QString()));
}

void CrashHelper::queueCrashAsTaken(const QString& log, const QByteArray& state, const QString& token,
                                    const QString& rid, const QString& uid, const QString& deliveryId) {
    appendEntry(makeEntry(log, state, token, rid, uid, deliveryId));
}

QString CrashHelper::storedUserId() {
    const QVariant v = Defaults::standard().object(QStringLiteral("UserID"));
    return v.isValid() ? v.toString() : QString();
}

void CrashHelper::addCrashLog(const QString& log) {
    const NetworkClientBrelvo& transport = NetworkClientBrelvo::shared();
    const QByteArray state = GetSystemInfoBrelvo::shared().getPhoneState().toUtf8();
    appendEntry(makeEntry(log, state, transport.access_token(), transport.rrid(), storedUserId(), QString()));
}

void CrashHelper::appendEntry(const QVariantMap& entry) {
    const QString id = deliveryIdOf(entry);
    Defaults::standard().update(crashesKey(), [&](const QVariant& current) {
        QVariantList list = variants::listOf(current);  // a corrupt or non-array value reads as empty
        // The same crash file slot once more: a start killed between queueing
        // its reports and emptying the file.
        for (const QVariant& queued : std::as_const(list)) {
            if (!id.isEmpty() && deliveryIdOf(queued.toMap()) == id) return QVariant(list);
        }
        list.append(entry);
        return QVariant(list);
    });
}

// The front entry with an identifier, written back before it is sent when it
// had none (queued by an earlier version): a resend after a kill then
// carries the same one. Null when the front changed meanwhile.
QVariant withDeliveryId(const QVariant& front) {
    if (!deliveryIdOf(front.toMap()).isEmpty()) return front;
    QVariantMap entry = front.toMap();
    entry.insert(delivery::kEntryKey, delivery::newId());
    bool replaced = false;
    Defaults::standard().update(QString::fromLatin1(CrashHelper::kCrashesKey), [&](const QVariant& current) {
        QVariantList list = variants::listOf(current);
        if (!list.isEmpty() && list.first() == front) {
            list.first() = entry;
            replaced = true;
        }
        return list.isEmpty() ? QVariant() : QVariant(list);
    });
    return replaced ? QVariant(entry) : QVariant();
}

void CrashHelper::tryToSendOldCrashes() {
    dispatch::toGlobal([this] { sendOldCrashesNow(); });
}

int CrashHelper::sendOldCrashesNow() {
    static QMutex* resending = new QMutex;  // outlives a resend still running at exit
    std::unique_lock<QMutex> lock(*resending, std::try_to_lock);
    if (!lock.owns_lock()) return 0;  // the running resend takes them all
    int delivered = 0;
    for (QVariantList entries = queuedCrashes(); !entries.isEmpty(); entries = queuedCrashes()) {
        const QVariantMap e = entries.first().toMap();
        const QString log = e.value(kCrash).toString();
        const QVariant first = log.isEmpty() ? entries.first() : withDeliveryId(entries.first());
        if (!first.isValid()) {
            qCWarning(lcBrelvo) << "crash queue changed during its resend; the resend stops";
            return delivered;
        }
        if (!log.isEmpty()) {  // an empty one has nothing to report
            const QVariant uid = e.value(kUid);
            if (!sendCrash(log, e.value(kToken).toString(), e.value(kState).toString().toUtf8(),
                           e.value(kRid).toString(), uid.isValid() ? uid.toString() : QString(),
                           deliveryIdOf(first.toMap()))) {
                qCInfo(lcBrelvo) << "crash reports kept for a later resend:" << entries.size();
                return delivered;
            }
            ++delivered;
        }
        // Removed only after the delivery: a process killed during the send
        // loses nothing, and sends this one report again at most, under the
        // identifier the service already keeps it by.
        bool removed = false;
        Defaults::standard().update(crashesKey(), [&](const QVariant& current) {
            QVariantList list = variants::listOf(current);
            if (!list.isEmpty() && list.first() == first) {
                list.removeFirst();
                removed = true;
            }
            return list.isEmpty() ? QVariant() : QVariant(list);
        });
        if (!removed) {
            qCWarning(lcBrelvo) << "crash queue changed during its resend; the resend stops";
            return delivered;
        }
    }
    return delivered;
}

QVariantList CrashHelper::queuedCrashes() {
    return variants::listOf(Defaults::standard().object(crashesKey()));
}

}  // namespace brelvo
