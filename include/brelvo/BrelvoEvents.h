#pragma once

#include <brelvo/BrelvoExport.h>

#include <QObject>
#include <QString>

namespace brelvo {

// What happened to the session and to the reports, for a host that wants to
// react (a status line, its own log). Reach the one object through
// brelvo::Brelvo::events() and connect to it:
//
//   QObject::connect(&brelvo::Brelvo::events(), &brelvo::BrelvoEvents::sessionRefused,
//                    statusBar, [statusBar](const QString& reason) { statusBar->showMessage(reason); });
//
// Threads: the object lives on the GUI thread and every signal is emitted
// there, whichever thread the event happened on (the library queues it), so
// a slot may touch widgets. The library never blocks waiting for a slot.
class BRELVO_EXPORT BrelvoEvents : public QObject {
    Q_OBJECT
public:
    explicit BrelvoEvents(QObject* parent = nullptr);
    ~BrelvoEvents() override;

Q_SIGNALS:
    // The service accepted the tester (or, offline, the last accepted session
    // was taken up again); the tester's full name, empty when it sent none.
    void sessionStarted(const QString& testerName);
    // The service refused the session; the reason is the text the lock screen shows.
    void sessionRefused(const QString& reason);
    // The service gave no answer (down, wrong address, no network), or an
    // answer that is not the service's.
    void serviceUnreachable();
    // A crash report reached the service / was kept to be sent later.
    void crashReportSent();
    void crashReportQueued();
    // An issue reached the service / was kept to be sent later.
    void issueSent();
    void issueQueued();
    // A batch of log lines reached the service / was kept to be sent later.
    void logBatchSent();
    void logBatchQueued();
};

}  // namespace brelvo
