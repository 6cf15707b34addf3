#pragma once

// libbrelvo: in-app beta testing for Qt applications.
//
//   #include <brelvo/Brelvo.h>
//   ...
//   mainWindow.show();
//   brelvo::Brelvo::shared().initializeWithOptions(brelvo::Brelvo::ShakeActivation);
//
// The project's API key comes from the application object's property
// "brelvo_project_id" (or the environment variable BRELVO_PROJECT_ID), the
// service's address from "brelvo_service_url" (BRELVO_SERVICE_URL).

#include <brelvo/BrelvoException.h>
#include <brelvo/BrelvoExport.h>

#include <QRect>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <memory>

class QDateTime;
class QImage;
class QWidget;
struct sigaction;

namespace brelvo {

class CustomViewBrelvo;
class LockScreenViewControllerBrelvo;
class UserProfileViewController;
class BrelvoWindow;

// The library's version text, as the "libInfo" resource states it.
BRELVO_EXPORT QString libraryVersion();

class BRELVO_EXPORT Brelvo {
public:
    // Bits of the option mask of initializeWithOptions.
    enum Option : int {
        SliderActivation = 0x00,  // the floating button opens the menu (neither bit below)
        ShakeActivation = 0x02,   // a shake of the device opens the menu
        ManualActivation = 0x04,  // the host calls showMenu() and makeScreenshot() itself
        LockingMode = 0x10,       // a refused cached session locks the application
    };

    // The one instance; created on first use, never destroyed.
    static Brelvo& shared();

    // Threads: every call may be made from any thread unless it says "GUI
    // thread only"; those touch widgets and assert that they run there.

    // Start the library, once, after the main window is shown. GUI thread only.
    void initialize();
    void initialize(int lockingMode);
    void initializeWithOptions(int options);

    // The menu and its floating button; the screens follow on the GUI thread.
    void showMenu();
    void hideMenu();
    void showMenuSlider();
    void hideMenuSlider();
    void makeScreenshot();
    bool isOnline();

    QString apiKey() const;
    void setApiKey(const QString& key);
    int lockingMode() const;
    void setLockingMode(int mode);
    bool autoUpdate() const;
    void setAutoUpdate(bool on);
    bool isInit() const;
    void setIsInit(bool on);
    bool isHide() const;
    bool isOpenGL() const;
    void setIsOpenGL(bool on);
    bool offlineMode() const;
    void setOfflineMode(bool on);
    double brelTrigger() const;
    void setBrelTrigger(double value);
    bool isError() const;
    void setIsError(bool on);

    // Used by the library's own components (and open to the host). The
    // screens themselves are GUI thread only.
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

    // The crash path. BrelvoHandleException runs on the GUI thread: it sends
    // the report, shows the crash alert, keeps the interface alive until the
    // tester answers, then lets the process die as it would have without the
    // library. It does not return.
    void BrelvoHandleException(const BrelvoException& exception);
    // This thread's call stack as readable lines, without this call itself
    // and the outermost frame.
    static QStringList backtrace();
    // Gives the calling thread a signal stack of its own, so that a stack
    // overflow on it is reported like any other crash. The thread that calls
    // initialize() and the library's own threads have one; call this first in
    // a host thread that may recurse deeply.
    static void prepareThreadForCrashReports();
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
    // Runs first on the crash path; a place for the host's last save.
    void validateAndSaveCriticalApplicationData();

    // The host's log lines, queued for the service: the level object as
    // given, or 2 "info", 1 "warning", 0 "error" (another number: no level).
    // Safe from any thread; the queue is sent every 5 seconds.
    void BVLog(const QString& text, const QVariant& level);
    void BVLog(const QString& text, int level);

    // Lifecycle reports ("suspend" blocks the caller; "resume" runs on the pool).
    void didEnterBackground();
    void didEnterForeground();
    // Adds a "didReceiveMemWarning" warning to the log queue. Desktop Linux
    // has no memory-warning signal: a host that watches memory pressure calls it.
    void didReceiveMemWarning();
    // Starts (when not running) or stops the 5-second log timer.
    void enableTimer(bool on);
    // Blocking: the download address of a newer build, or the empty string.
    QString checkForUpdate();
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

    ~Brelvo();

private:
    Brelvo();
    void handDownContext();
    Brelvo(const Brelvo&) = delete;
    Brelvo& operator=(const Brelvo&) = delete;
    struct Impl;
    std::unique_ptr<Impl> d;
};

}  // namespace brelvo
