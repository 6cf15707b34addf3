#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

class NotesWindow;

// Drives the notes application and the library step by step, as a tester
// would: waits for the session, opens the menu and the profile, locks and
// unlocks the build through the service's fault switch, edits a note, posts
// issues (one while the service is out of reach, delivered when it is back),
// works through test requirements, checks for an update, has a child process
// crash and report it at its next start, and saves PNGs of the window
// between steps. Every step waits for what it
// expects with a deadline; the first step that misses its deadline ends the
// run.
class Tour {
public:
    struct Step {
        QString name;
        QString argument;  // the file name of "shot" (and of "screenshot"'s preview)
        int line = 0;      // in the script file; 0 for the built-in tour
    };

    struct Outcome {
        bool ok = false;
        QString detail;  // what happened, or why the step failed
    };

    Tour(NotesWindow* window, const QString& screensDir, const QUrl& adminUrl);

    static QList<Step> builtIn();
    // One step per line; blank lines and lines starting with '#' are skipped.
    static bool parse(const QString& text, QList<Step>* steps, QString* error);

    // Runs the steps in order, one line of output each; true when all passed.
    bool run(const QList<Step>& steps);

private:
    Outcome runStep(const Step& step);
    Outcome waitSession();
    Outcome shot(const QString& name);
    Outcome moveMenu(bool open);
    Outcome openProfile();
    Outcome closeProfile();
    Outcome lock();
    Outcome unlock();
    Outcome editNote();
    Outcome sendLogs();
    Outcome takeScreenshot(const QString& previewShot);
    Outcome fillIssue();
    Outcome postIssue();
    Outcome annotate();
    Outcome openRequirements();
    Outcome startTest();
    Outcome openRunning();
    Outcome passTest();
    Outcome failTest();
    Outcome goOffline();
    Outcome goOnline();
    Outcome checkUpdate();
    Outcome crashChild();

    // Runs the event loop until done() holds or the deadline passes.
    static bool waitFor(const std::function<bool()>& done, int timeoutMs);
    bool admin(const QString& path, const QByteArray& body, QString* error);
    // How many records of the kind ("issues", "crashes") the service holds; -1 when it does not say.
    int recordCount(const QString& kind);
    bool sessionReady() const;
    QString sessionState() const;  // for failure messages

    NotesWindow* window_;
    QString screensDir_;
    QUrl adminUrl_;
    QString onlineUrl_;  // the service's address while go-offline has put it out of reach
};
