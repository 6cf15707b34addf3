#pragma once

#include <QObject>
#include <QString>

namespace brelvo {

// What the issue form hands over to send: the texts as the tester left them
// and the ids of the chosen type and severity (IssueChoices).
struct IssueDraft {
    QString summary;
    QString description;  // line feeds included; they are removed when sent
    QString typeId;
    QString priorityId;
};

// Sends an issue for the form: takes the screenshots listed at that moment,
// builds the "post_issue" body with every picture on the global pool, queues
// it in the IssueOutbox (durable before anything else happens), drops the
// sent screenshots from the list and their files from disk (their bytes now
// travel inside the body), and delivers what the outbox holds, oldest first.
// The body carries the requirement the issue belongs to as its "rid"
// (requirementIdForIssue).
// One process-wide object on the GUI thread.
class IssueSender : public QObject {
    Q_OBJECT
public:
    static const QString kSentTitle;    // "Success"
    static const QString kSentMessage;  // "Issue has been saved locally"

    static IssueSender& shared();

    // GUI thread. False, and nothing sent, for a draft without a type or
    // severity id; otherwise issueSent follows.
    bool send(const IssueDraft& draft);

    // A text as the body carries it: URL escaping of its UTF-8 bytes (every
    // character outside those a URL allows becomes %XX: blanks, quotes,
    // backslashes, percent signs, control and non-ASCII characters).
    static QString urlEscaped(const QString& text);

    // The running requirement's id (the transport's rrid); with none running,
    // the attached requirement's: the test that just failed and whose issue
    // the tester reports. GUI thread.
    static QString requirementIdForIssue();

signals:
    // After every send, answered or not, with the confirmation's title and
    // message; delivered tells whether the service has the issue already (if
    // not, the outbox keeps it for a later round).
    void issueSent(const QString& title, const QString& message, bool delivered);

private:
    IssueSender() = default;
};

}  // namespace brelvo
