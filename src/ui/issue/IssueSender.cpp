#include "ui/issue/IssueSender.h"

#include "platform/Dispatch.h"
#include "platform/Log.h"
#include "protocol/JSONClientBrelvo.h"
#include "protocol/NetworkClientBrelvo.h"
#include "state/UserHelperBrelvo.h"
#include "ui/issue/IssueOutbox.h"
#include "ui/issue/ScreenshotStore.h"

#include <QFile>
#include <QStringList>
#include <QUrl>

namespace brelvo {

const QString IssueSender::kSentTitle = QStringLiteral("Success");
const QString IssueSender::kSentMessage = QStringLiteral("Issue has been saved locally");

IssueSender& IssueSender::shared() {
    static IssueSender* sender = dispatch::createOnMain([] { return new IssueSender; });  // lives until the process ends
    return *sender;
}

QString IssueSender::urlEscaped(const QString& text) {
    // The characters a URL may hold as they stand: letters, digits, "-._~"
    // (never escaped) and the reserved ones below.
    return QString::fromLatin1(QUrl::toPercentEncoding(text, QByteArrayLiteral("!*'();:@&=+$,/?#")));
}

QString IssueSender::requirementIdForIssue() {
    const QString running = NetworkClientBrelvo::shared().rrid();
    if (running.toInt() >= 1) return running;
    // A test just failed with "post issue": it no longer runs, but the form
    // shows the issue attached to it, so the body says so too.
    const QVariant attached = UserHelperBrelvo::shared().activeRequirement().value(QStringLiteral("rid"));
    return attached.isValid() && !attached.isNull() && attached.toInt() >= 1 ? attached.toString() : running;
}

bool IssueSender::send(const IssueDraft& draft) {
    if (draft.typeId.isEmpty() || draft.priorityId.isEmpty()) {
        qCWarning(lcBrelvo) << "issue not sent: no type or severity chosen from the current list";
        return false;
    }
    // The list as it is now: screenshots added while the body is built belong to the next issue.
    const QStringList screenshots = ScreenshotStore::shared().list();
    // Line feeds stay (escaped like any other character): without them a
    // tester's numbered steps would run into one another.
    const QString subject = urlEscaped(draft.summary);
    const QString description = urlEscaped(draft.description);
    const QString type = draft.typeId, priority = draft.priorityId;
    const QString rid = requirementIdForIssue();

    dispatch::toGlobal([this, screenshots, subject, description, type, priority, rid] {
        // A screenshot deleted since the list was taken is left out.
        QStringList present;
        for (const QString& path : screenshots)
            if (QFile::exists(path)) present.append(path);
        const NetworkClientBrelvo& transport = NetworkClientBrelvo::shared();
        const JSONClientBrelvo& bodies = JSONClientBrelvo::shared();
        const QString token = transport.access_token(), uid = QStringLiteral(""),
                      draftFlag = QStringLiteral("0");
        const QByteArray body =
            present.isEmpty()
                ? bodies.getPostIssueData(QString(), bodies.getIssue(type, priority, subject, description), token,
                                          uid, rid, draftFlag)
                : bodies.buildPostIssueBody(type, priority, subject, description, present, token, uid, rid,
                                            draftFlag);
        const QString id = IssueOutbox::shared().queue(QString::fromUtf8(body));
        ScreenshotStore::shared().removeSent(screenshots);
        IssueOutbox::shared().deliverNow();
        const bool delivered = !IssueOutbox::shared().isPending(id);
        QMetaObject::invokeMethod(this, [this, delivered] { emit issueSent(kSentTitle, kSentMessage, delivered); },
                                  Qt::QueuedConnection);
    });
    return true;
}

}  // namespace brelvo
