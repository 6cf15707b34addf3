#include "ui/issue/IssueOutbox.h"

#include "platform/Defaults.h"
#include "platform/Dispatch.h"
#include "platform/HostEvents.h"
#include "platform/Json.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/VariantKinds.h"
#include "protocol/BVReachability.h"
#include "protocol/Connectivity.h"
#include "protocol/DeliveryId.h"
#include "protocol/NetworkClientBrelvo.h"
#include "state/InactivityTrigger.h"

#include <QCryptographicHash>
#include <QVariantList>
#include <QVariantMap>

namespace brelvo {

const QString IssueOutbox::kLatestKey = QStringLiteral("BrelvoSendIssuePrefKey");
const QString IssueOutbox::kLatestIdKey = QStringLiteral("BrelvoSendIssueIdPrefKey");
const QString IssueOutbox::kOutboxKey = QStringLiteral("BrelvoIssueOutboxPrefKey");

namespace {

const QString kId = QStringLiteral("id");
const QString kBody = QStringLiteral("body");
const QString kDigest = QStringLiteral("sha1");

QString digestOf(const QString& body) {
    return QString::fromLatin1(QCryptographicHash::hash(body.toUtf8(), QCryptographicHash::Sha1).toHex());
}

QString latestBody() {
    const QVariant v = Defaults::standard().object(IssueOutbox::kLatestKey);
    return v.typeId() == QMetaType::QString ? v.toString() : QString();
}

QVariantList outboxEntries() {
    return variants::listOf(Defaults::standard().object(IssueOutbox::kOutboxKey));
}

// One "post_issue" request under the body's identifier, so that a resend of
// a body the service already stored is not kept twice.
QString post(const IssueOutbox::Entry& entry) {
    return NetworkClientBrelvo::shared().makePOSTRequestWithMethod(QStringLiteral("post_issue"), entry.body.toUtf8(),
                                                                   entry.id);
}

}  // namespace

IssueOutbox& IssueOutbox::shared() {
    static IssueOutbox* outbox = dispatch::createOnMain([] { return new IssueOutbox; });  // lives until the process ends
    return *outbox;
}

IssueOutbox::~IssueOutbox() = default;

QString IssueOutbox::latestId(const QString& body) {
    const QVariantMap stored = Defaults::standard().object(kLatestIdKey).toMap();
    const QString digest = digestOf(body);
    if (stored.value(kDigest).toString() == digest && !stored.value(kId).toString().isEmpty())
        return stored.value(kId).toString();
    const QString id = delivery::newId();
    Defaults::standard().setObject(QVariantMap{{kId, id}, {kDigest, digest}}, kLatestIdKey);
    return id;
}

QString IssueOutbox::queue(const QString& body) {
    QMutexLocker lock(&storeMutex_);
    Defaults& defaults = Defaults::standard();
    const QString previous = latestBody();
    if (!previous.isEmpty()) {
        QVariantList older = outboxEntries();
        older.append(QVariantMap{{kId, latestId(previous)}, {kBody, previous}});
        defaults.setObject(older, kOutboxKey);
    }
    const QString id = delivery::newId();
    defaults.setObject(QVariantMap{{kId, id}, {kDigest, digestOf(body)}}, kLatestIdKey);
    defaults.setObject(body, kLatestKey);
    // One transaction for the three keys. Should another writer's sync split
    // them, the digest tells a stale identifier from the body's own.
    defaults.synchronize();
    return id;
}

QList<IssueOutbox::Entry> IssueOutbox::pending() {
    QMutexLocker lock(&storeMutex_);
    QList<Entry> entries;
    for (const QVariant& v : outboxEntries()) {
        const QVariantMap m = v.toMap();
        const QString body = m.value(kBody).toString();
        if (!body.isEmpty()) entries.append({m.value(kId).toString(), body});
    }
    const QString latest = latestBody();
    if (!latest.isEmpty()) entries.append({latestId(latest), latest});
    return entries;
}

bool IssueOutbox::isPending(const QString& id) {
    for (const Entry& e : pending())
        if (e.id == id) return true;
    return false;
}

void IssueOutbox::removeDelivered(const QString& id) {
    QMutexLocker lock(&storeMutex_);
    Defaults& defaults = Defaults::standard();
    const QString latest = latestBody();
    if (!latest.isEmpty() && latestId(latest) == id) {
        defaults.removeObject(kLatestKey);
        defaults.removeObject(kLatestIdKey);
    } else {
        QVariantList older = outboxEntries();
        older.removeIf([&](const QVariant& v) { return v.toMap().value(kId).toString() == id; });
        defaults.setObject(older.isEmpty() ? QVariant() : QVariant(older), kOutboxKey);
    }
    defaults.synchronize();
}

bool IssueOutbox::isDelivered(const QString& answer) {
    if (answer.isEmpty() || answer.contains(QLatin1String("<html"))) return false;
    const QVariant code = json::parse(answer.toUtf8()).toMap().value(QStringLiteral("response_code"));
    return variants::isNumber(code) && code.toDouble() == 0;
}

int IssueOutbox::deliverNow() {
    QMutexLocker sending(&sendMutex_);
    int count = 0;
    // Read again after each request: a body queued meanwhile joins the round.
    for (QList<Entry> waiting = pending(); !waiting.isEmpty(); waiting = pending()) {
        const Entry& first = waiting.first();
        const QString answer = post(first);
        resetInactivityTriggerFor(answer);
        if (!isDelivered(answer)) {
            qCInfo(lcBrelvo) << "issue not delivered; kept with" << waiting.size() - 1 << "more";
            hostevents::emitEvent(&BrelvoEvents::issueQueued);
            break;
        }
        removeDelivered(first.id);
        hostevents::emitEvent(&BrelvoEvents::issueSent);
        ++count;
    }
    return count;
}

void IssueOutbox::deliverAndReport() {
    const int count = deliverNow();
    const int left = static_cast<int>(pending().size());
    QMetaObject::invokeMethod(this, [this, count, left] { emit delivered(count, left); }, Qt::QueuedConnection);
}

void IssueOutbox::deliver() {
    dispatch::toGlobal([this] { deliverAndReport(); });
}

void IssueOutbox::startWatchingNetwork() {
    if (internetReach_) return;
    NotificationCenter::defaultCenter().addObserver(kReachabilityChangedNotificationBrelvo, this,
                                                    [this](const Notification&) { networkChanged(); });
    internetReach_ = BVReachability::reachabilityForInternetConnection();
    internetReach_->startNotifier();
}

void IssueOutbox::networkChanged() {
    // A burst of changes needs one check: a check not yet started covers them all.
    if (checkWaiting_.exchange(true)) return;
    dispatch::toGlobal([this] {
        checkWaiting_ = false;
        const bool reachable = connectivity::serviceReachable();
        QMetaObject::invokeMethod(this, [this, reachable] { emit serviceReachable(reachable); }, Qt::QueuedConnection);
        if (!reachable) return;
        if (!pending().isEmpty()) qCInfo(lcBrelvo) << "issue from cache send";
        deliverAndReport();
    });
}

}  // namespace brelvo
