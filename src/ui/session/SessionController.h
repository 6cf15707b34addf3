#pragma once

#include "state/StartContext.h"

#include <QImage>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QVariant>

#include <functional>

namespace brelvo {

// What an accepted session gives the menu panel.
struct AcceptedSession {
    QStringList users;  // full name, image address and role of the tester
    QStringList issueTypeIcons;
    QStringList issueSeverityIcons;
};

// The screen a session flow reports to. Every call arrives on the GUI thread,
// and none arrives once the screen's object is destroyed.
class SessionView {
public:
    // The object whose end stops the deliveries: the screen itself.
    virtual QObject* sessionObject() = 0;
    virtual void sessionButtonMode(int mode) = 0;
    virtual void sessionShowLock() = 0;
    virtual void sessionAccepted(const AcceptedSession& session) = 0;
    virtual void activeRequirementArrived(const QVariant& running) = 0;
    virtual void requirementsArrived(const QVariantList& sorted, const QVariant& running) = 0;
    // After every requirement list request, answered or not.
    virtual void requirementsFinished() = 0;
    virtual void userPictureArrived(const QImage& picture) = 0;

protected:
    ~SessionView() = default;
};

// The session's service work for the screens: authentication, the running
// requirement and the requirement list, the tester's picture, the profile.
// It builds the bodies, sends them on the global pool, reads the answers and
// keeps the shared session state; the screens only show what it delivers.
// One process-wide object living on the GUI thread: results are queued back
// to it and handed to a screen only while that screen still lives.
class SessionController : public QObject {
    Q_OBJECT
public:
    static SessionController& shared();

    // The project's API key for the authentication body (the facade sets it).
    void configure(const StartContext& context);
    QString apiKey() const;

    // Authenticates the device and build on the pool; the answer decides
    // between working online, from the cached authentication, or locked.
    void authenticate(SessionView* view);
    // Takes over an accepted authentication (any thread): the session becomes
    // usable, what earlier sessions could not deliver goes out, and the view
    // gets the tester and the issue icons.
    void acceptSession(SessionView* view);
    // Fetches the tester's running requirement (blocking: call off the GUI
    // thread); the view shows it.
    QVariant activeRequirement(SessionView* view);
    // Fetches the running requirement and the whole list on the pool; the view
    // gets the list sorted by priority, highest first.
    void fetchRequirements(SessionView* view);
    // Loads the tester's picture on the pool; the view gets it if it loaded.
    void loadUserPicture(SessionView* view, const QString& url);
    // Asks the service for the tester's profile on the pool and opens its
    // install address; a refused profile calls refused on the context's
    // thread while the context lives.
    void requestProfile(QObject* context, std::function<void()> refused);

private:
    SessionController() = default;

    struct Receiver {
        QPointer<QObject> guard;
        SessionView* view = nullptr;
    };
    static Receiver receiverOf(SessionView* view);
    // Queued to this object's (the GUI) thread; dropped if the receiver is gone by then.
    void deliver(const Receiver& to, std::function<void(SessionView*)> work);
    void authenticateNow(const Receiver& to);
    void accept(const Receiver& to);
    QVariant fetchActiveRequirement(const Receiver& to);
    void lock(const Receiver& to, int buttonMode, const QString& message);

    mutable QMutex mutex_;
    QString apiKey_;
};

}  // namespace brelvo
