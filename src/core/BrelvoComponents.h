#pragma once

#include "diagnostics/BrelvoException.h"

#include <QByteArray>
#include <QMutex>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QStringList>

class QDateTime;
class QImage;
class QTimer;
class QWidget;
struct sigaction;

namespace brelvo {

class CustomViewBrelvo;
class CustomViewBrelvoiPhone;
class LockScreenViewControllerBrelvo;
class UserProfileViewController;
class BrelvoWindow;

// The steps behind the public facade: the overlay and its screens, the crash
// path, the upload calls, the flags the session keeps. The library and its
// tests call them; a host sees only <brelvo/Brelvo.h>. Reached through
// components(); made by the facade's first use.
//
// Threads: any thread unless a call says "GUI thread only"; those touch
// widgets and assert that they run there.
class BrelvoComponents {
public:
    // The screens; GUI thread only.
    CustomViewBrelvo* mainView() const;
    LockScreenViewControllerBrelvo* lockScreen() const;
    UserProfileViewController* userProfileScreen() const;

    // GUI thread only: initializeBrelvo, installBrelvoLib,
    // addNewTopWindowToApplication, getBVLibWindow, the two
    // make…KeyAndVisible and showIpadSoomingSoonScreen. The lock and profile
    // screens' show and remove hop to the GUI thread themselves.
    void initializeBrelvo();
    void installBrelvoLib();
    void addNewTopWindowToApplication();
    BrelvoWindow* getBVLibWindow() const;
    void makeBVLibWindowKeyAndVisible();
    void makeAppWindowKeyAndVisible();
    void showLockScreen();
    void removeLockScreen();
    void showUserProfileScreen();
    void removeUserProfileScreen();
    void showIpadSoomingSoonScreen();
    QImage getImageWithName(const QString& name) const;
    bool reachable();
    bool isEmulator() const;
    bool isIpad() const;
    bool canInstallBrelvoMenu();
    void makeAppExit();
    bool dismissed() const;
    void successButtonPressed();
    QString encodeToBase64String(const QString& text) const;
    QRect getRectByOrientation() const;
    // A return key ends editing of the text view; every other change is
    // allowed. GUI thread only.
    bool textViewShouldChangeText(QWidget* textView, const QString& replacement);
    QString getPhoneState() const;

    // The session's flags (SharedState).
    void setIsInit(bool on);
    void setIsError(bool on);
    double brelTrigger() const;
    void setBrelTrigger(double value);

    // The crash path. BrelvoHandleException runs on the GUI thread: it sends
    // the report, shows the crash alert, keeps the interface alive until the
    // tester answers, then lets the process die as it would have without the
    // library. It does not return.
    void BrelvoHandleException(const BrelvoException& exception);
    // This thread's call stack as readable lines, without this call itself
    // and the outermost frame.
    static QStringList backtrace();
    // The description of a signal number; "Signal defenition not found" for
    // one without.
    static QString signalDefenition(int signal);
    // Installs the action for the signal; a handler the host had installed
    // before (or an ignored signal) is put back, so the host keeps it.
    static void replaceBrelvoHandlerByUserHandler(int signal, const struct ::sigaction& action);
    // Shows the crash alert alone. GUI thread only.
    void makeAlertAboutSigKill();
    void createPlist();
    void createMorivaFolderInDocumentsFolder();
    void setAppStatus(int status);
    // Runs first on the crash path; a place for a last save.
    void validateAndSaveCriticalApplicationData();

    // Starts (when not running) or stops the 5-second log timer.
    void enableTimer(bool on);
    // A desktop notification at the date (freedesktop notifications).
    void registerLocalNotificationWithText(const QString& text, const QDateTime& date);
    void playSystemSound(int soundId);

    // Uploads. postCrash and postLogs block for the request and keep what
    // was not delivered for the next session.
    void postCrash(const QString& log, const QString& token, const QByteArray& state, const QString& rid,
                   const QString& uid);
    void postLogs(const QString& joinedEntries, const QString& token);
    void sendEmptyArray();
    // The log timer's tick: sends the queued log lines.
    void checkLogs();

    // The facade's key, handed down to the components that put it in bodies.
    QString apiKey() const;
    void setApiKey(const QString& key);

private:
    friend BrelvoComponents& components();
    BrelvoComponents();
    BrelvoComponents(const BrelvoComponents&) = delete;
    BrelvoComponents& operator=(const BrelvoComponents&) = delete;
    void handDownContext();

    mutable QMutex mutex_;  // the API key is read from service threads too
    QString apiKey_;
    bool started_ = false;

    QPointer<BrelvoWindow> overlay_;
    QPointer<CustomViewBrelvoiPhone> mainView_;
    QPointer<LockScreenViewControllerBrelvo> lockScreen_;
    QPointer<UserProfileViewController> userProfileScreen_;
    QTimer* timerLogs_ = nullptr;
    QObject* waitingForWindow_ = nullptr;
};

// The one instance; made on first use (the facade's first use makes it too),
// never destroyed.
BrelvoComponents& components();

}  // namespace brelvo
