#pragma once

#include <QByteArray>
#include <QString>

namespace brelvo {

// What a crash report carries besides the crash: the phone state, the
// session's token, the running requirement and the user. The crash handlers
// cannot gather these safely, so the running process keeps a copy in a small
// file, refreshed every few seconds; a report recovered from the crash file at
// the next start is then sent with the context of the run that crashed, not
// of the run that found it.
struct CrashContext {
    QByteArray state;
    QString token;
    QString rid;
    QString uid;  // null when no user id was stored

    // The context of this moment (reads the phone state: call off the GUI thread).
    static CrashContext takeNow();

    // "brelvo-crash-context.plist" in the documents folder.
    static QString filePath();
    // Replaces the file in one rename. Not synced: what matters is that it
    // outlives the process, which the page cache ensures.
    bool save(const QString& path) const;
    // The saved context, or none when the file is missing or unreadable.
    static bool load(const QString& path, CrashContext* out);

    // Removes the previous run's file, then saves the context kFirstStateMs
    // after start and every kRefreshMs on the library's pool (one refresh at
    // a time), and at once whenever the session's token or rid changes. Once
    // per process, after the previous run's reports were queued.
    static void startRefreshing();
    static constexpr int kRefreshMs = 5000;
    static constexpr int kFirstStateMs = 1000;
};

}  // namespace brelvo
