#pragma once

#include <QMutex>

namespace brelvo {

// The library's run-time flags: what the host chose at start (locking mode,
// auto update, OpenGL) and what the session found since (initialised, error,
// slider hidden, the tester dismissed the crash alert, the trigger of the
// last answer). The facade's properties read and write these; every layer
// above state/ reads them here rather than through the facade. Any thread.
class SharedState {
public:
    static SharedState& shared();

    int lockingMode() const;
    void setLockingMode(int mode);
    bool autoUpdate() const;
    void setAutoUpdate(bool on);
    bool isInit() const;
    void setIsInit(bool on);
    bool isHide() const;
    void setIsHide(bool on);
    bool isOpenGL() const;
    void setIsOpenGL(bool on);
    bool offlineMode() const;
    void setOfflineMode(bool on);
    double brelTrigger() const;
    void setBrelTrigger(double value);
    bool isError() const;
    void setIsError(bool on);
    // The tester answered the crash alert: the handling step may let the process die.
    bool dismissed() const;
    void setDismissed(bool on);

private:
    SharedState() = default;

    mutable QMutex mutex_;
    int lockingMode_ = 0;
    bool autoUpdate_ = false;
    bool isInit_ = false;
    bool isHide_ = false;
    bool isOpenGL_ = false;
    bool offlineMode_ = true;
    double brelTrigger_ = 0;
    bool isError_ = false;
    bool dismissed_ = false;
};

}  // namespace brelvo
