#pragma once

// libbrelvo: in-app beta testing for Qt applications.
//
//   #include <brelvo/Brelvo.h>
//   ...
//   mainWindow.show();
//   brelvo::Brelvo::shared().initializeWithOptions(brelvo::Brelvo::ShakeActivation);
//
// Threads: every call may be made from any thread unless it says "GUI thread
// only"; those touch widgets and assert that they run there.

#include <brelvo/BrelvoEvents.h>
#include <brelvo/BrelvoExport.h>

#include <QString>
#include <QVariant>

namespace brelvo {

// The library's version text, as the "libInfo" resource states it.
BRELVO_EXPORT QString libraryVersion();

// The level of a host's log line, as the service shows it.
enum class LogLevel : int {
    Error = 0,
    Warning = 1,
    Info = 2,
};

class BRELVO_EXPORT Brelvo {
public:
    // The one instance; created on first use, never destroyed.
    static Brelvo& shared();

    // ---- start ----------------------------------------------------------------

    // Bits of the option mask of initializeWithOptions.
    enum Option : int {
        SliderActivation = 0x00,  // the floating button opens the menu (neither bit below)
        ShakeActivation = 0x02,   // a shake of the device opens the menu
        ManualActivation = 0x04,  // the host calls showMenu() and makeScreenshot() itself
        LockingMode = 0x10,       // a refused cached session locks the application
    };

    // Start the library, once, after the main window is shown: it takes the
    // API key (below), opens a session with the service and puts its
    // floating button over the window. GUI thread only.
    void initialize();
    void initialize(int lockingMode);
    void initializeWithOptions(int options);

    // ---- configuration --------------------------------------------------------

    // The project's API key. initialize() takes it from the application
    // object's property "brelvo_project_id", else the environment variable
    // BRELVO_PROJECT_ID; setApiKey() after the start replaces it (the next
    // session and reports use it).
    QString apiKey() const;
    void setApiKey(const QString& key);
    // The service's address: set here, else the property "brelvo_service_url",
    // else the environment variable BRELVO_SERVICE_URL, else the local
    // brelvo-service (http://127.0.0.1:8642/). Read at every request.
    QString serviceUrl() const;
    void setServiceUrl(const QString& url);
    // The options initialize() sets; readable and changeable afterwards.
    int lockingMode() const;
    void setLockingMode(int mode);
    bool autoUpdate() const;
    void setAutoUpdate(bool on);
    // Whether a start without network may carry on with the last accepted
    // session (on by default).
    bool offlineMode() const;
    void setOfflineMode(bool on);
    // Whether the host draws with OpenGL, so that screenshots read its frame buffer.
    bool isOpenGL() const;
    void setIsOpenGL(bool on);

    // ---- state ----------------------------------------------------------------

    // A session is open and usable (false before the start and while locked).
    bool isInit() const;
    // The library's spare error flag; nothing in the library sets it.
    bool isError() const;
    // The floating buttons are hidden.
    bool isHide() const;
    // Whether the service's host can be reached now (blocking).
    bool isOnline();

    // ---- the menu and the floating buttons ------------------------------------

    void showMenu();
    void hideMenu();
    void showMenuSlider();
    void hideMenuSlider();
    // Takes a screenshot of the application and opens it for an issue.
    void makeScreenshot();

    // ---- logging --------------------------------------------------------------

    // The host's log lines, queued for the service and sent every 5 seconds.
    void BVLog(const QString& text, LogLevel level);
    // The same with the level as a number: 2 "info", 1 "warning", 0 "error"
    // (another number: no level).
    void BVLog(const QString& text, int level);
    // The same with the level object as given (an invalid one: no level).
    void BVLog(const QString& text, const QVariant& level);

    // ---- lifecycle ------------------------------------------------------------

    // The library follows the application's state on its own; a host whose
    // state does not reach Qt reports it here. didEnterBackground blocks for
    // the "suspend" report; didEnterForeground sends "resume" on the pool.
    void didEnterBackground();
    void didEnterForeground();
    // Adds a "didReceiveMemWarning" warning to the log queue. Desktop Linux
    // has no memory-warning signal: a host that watches memory pressure calls it.
    void didReceiveMemWarning();

    // Gives the calling thread a signal stack of its own, so that a stack
    // overflow on it is reported like any other crash. The thread that calls
    // initialize() and the library's own threads have one; call this first in
    // a host thread that may recurse deeply.
    static void prepareThreadForCrashReports();

    // Blocking: the download address of a newer build, or the empty string.
    QString checkForUpdate();

    // ---- events ---------------------------------------------------------------

    // The object whose signals tell what happened (BrelvoEvents.h); it lives
    // on the GUI thread and emits there.
    static BrelvoEvents& events();

    ~Brelvo();

private:
    Brelvo();
    Brelvo(const Brelvo&) = delete;
    Brelvo& operator=(const Brelvo&) = delete;
};

}  // namespace brelvo
