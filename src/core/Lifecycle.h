#pragma once

#include <QDateTime>
#include <QMutex>
#include <QString>
#include <Qt>

#include <functional>

namespace brelvo {

// The application's lifecycle as the service sees it: "suspend" and "resume"
// reports ("track_state"), re-authentication after a failed resume, memory
// warnings in the log queue, the periodic empty log batch, the update query,
// local notifications and system sounds.
//
// Background and foreground come from QGuiApplication::applicationStateChanged:
// leaving the active state (for inactive, hidden or suspended) is "background",
// becoming active again is "foreground"; moves among the non-active states
// report nothing more. The first activation after start-up is the launch, not
// a resume, and sends nothing, whether or not a session exists by then.
//
// Qt has no memory-warning signal and desktop Linux has no portable one, so
// nothing calls didReceiveMemWarning() on its own there; a host that watches
// memory pressure (a cgroup's memory.events, a platform service) calls it.
class Lifecycle {
public:
    static Lifecycle& shared();

    // Registers the application-state observer and starts the 60-second empty
    // log batch timer, once; hops to the GUI thread when needed.
    void attach();

    void applicationStateChanged(Qt::ApplicationState state);
    // "suspend", blocking the caller for the request.
    void didEnterBackground();
    // "resume", sent on the global pool.
    void didEnterForeground();
    void didReceiveMemWarning();
    bool isFirstTime() const;

    // Blocking: the download address of a newer build, or the empty string.
    QString checkForUpdate();

    // A desktop notification at the given time (at once when it has passed),
    // through the session bus's notification service; nothing without one.
    void registerLocalNotificationWithText(const QString& text, const QDateTime& date);
    // Plays the system sound with this id (1108: the camera shutter); silent
    // where there is no sound system.
    void playSystemSound(int soundId);

    // Sends the empty XML property-list batch when the service is reachable (blocking).
    void sendEmptyArray();

    // What a failed resume does: authenticate again through the menu panel.
    // Replaceable (tests); called on the GUI thread.
    void setReauthentication(std::function<void()> reauthenticate);

    // Called when a resume report is finished (tests wait on it); on the pool thread.
    void setResumeFinished(std::function<void(bool delivered)> done);

private:
    Lifecycle() = default;

    mutable QMutex mutex_;
    bool attached_ = false;
    bool isFirstTime_ = true;
    bool active_ = false;
    std::function<void()> reauthenticate_;
    std::function<void(bool)> resumeFinished_;
};

}  // namespace brelvo
