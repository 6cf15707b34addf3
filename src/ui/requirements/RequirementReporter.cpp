#include "ui/requirements/RequirementReporter.h"

#include "platform/Defaults.h"
#include "platform/Dispatch.h"
#include "platform/Log.h"
#include "platform/VariantKinds.h"
#include "protocol/AnalizeResponseBrelvo.h"
#include "protocol/DeliveryId.h"
#include "protocol/JSONClientBrelvo.h"
#include "protocol/NetworkClientBrelvo.h"
#include "state/InactivityTrigger.h"
#include "state/SharedState.h"
#include "ui/issue/IssueOutbox.h"

#include <QCoreApplication>
#include <QVariantMap>

namespace brelvo {

const QString RequirementReporter::kQueueKey = QStringLiteral("BrelvoRequirementResultsPrefKey");

namespace {

const QString kBody = QStringLiteral("body");

}  // namespace

RequirementReporter& RequirementReporter::shared() {
    static RequirementReporter* reporter = [] {
        auto* made = new RequirementReporter;  // lives until the process ends
        // Its signal is queued to it: it belongs to the GUI thread, whichever
        // thread (a session's pool thread, say) asked for it first, and
        // without waiting for that thread.
        if (QCoreApplication* app = QCoreApplication::instance()) made->moveToThread(app->thread());
        return made;
    }();
    return *reporter;
}

bool RequirementReporter::report(const QVariant& rid, int status) {
    if (!SharedState::shared().isInit()) return false;
    // The body as it is now: the session and running test of this moment.
    const QString body = QString::fromUtf8(JSONClientBrelvo::shared().getRequirementResultDataWithRid(rid, status));
    const QVariantMap entry{{delivery::kEntryKey, delivery::newId()}, {kBody, body}};
    Defaults::standard().update(kQueueKey, [&](const QVariant& current) {
        QVariantList queue = variants::listOf(current);
        queue.append(entry);
        return QVariant(queue);
    });
    deliver();
    return true;
}

QList<RequirementReporter::Entry> RequirementReporter::pending() {
    QList<Entry> entries;
    for (const QVariant& v : variants::listOf(Defaults::standard().object(kQueueKey))) {
        const QVariantMap m = v.toMap();
        const QString id = m.value(delivery::kEntryKey).toString(), body = m.value(kBody).toString();
        if (!body.isEmpty()) entries.append({id, body});
    }
    return entries;
}

void RequirementReporter::remove(const QString& id) {
    Defaults::standard().update(kQueueKey, [&](const QVariant& current) {
        QVariantList queue = variants::listOf(current);
        queue.removeIf([&](const QVariant& v) { return v.toMap().value(delivery::kEntryKey).toString() == id; });
        return queue.isEmpty() ? QVariant() : QVariant(queue);
    });
}

int RequirementReporter::deliverNow() {
    QMutexLocker sending(&sendMutex_);
    int count = 0;
    // Read again after each request: a report stored meanwhile joins the round.
    for (QList<Entry> waiting = pending(); !waiting.isEmpty() && SharedState::shared().isInit(); waiting = pending()) {
        const Entry& first = waiting.first();
        const QString answer = NetworkClientBrelvo::shared().makePOSTRequestWithMethod(
            QStringLiteral("requirement_result"), first.body.toUtf8(), first.id);
        resetInactivityTriggerFor(answer);
        if (!IssueOutbox::isDelivered(answer)) {
            AnalizeResponseBrelvo& analyser = AnalizeResponseBrelvo::shared();
            if (analyser.isError()) analyser.handleErrorFromResponse(answer);
            qCInfo(lcBrelvo) << "requirement result not delivered; kept with" << waiting.size() - 1 << "more";
            break;
        }
        remove(first.id);
        ++count;
    }
    return count;
}

void RequirementReporter::deliver() {
    dispatch::toGlobal([this] {
        const int count = deliverNow();
        const int left = static_cast<int>(pending().size());
        QMetaObject::invokeMethod(this, [this, count, left] { emit delivered(count, left); }, Qt::QueuedConnection);
    });
}

}  // namespace brelvo
