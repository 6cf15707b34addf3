#pragma once

#include <QObject>
#include <QPointer>
#include <QPoint>

#include <atomic>

class QMouseEvent;
class QWidget;

namespace brelvo {

// Traces what the tester touches: once installed (trackActivity), every press
// and release delivered to the application's widgets passes by this watcher,
// which writes to the log what kind of control was hit while toTrackActivity
// is on. It never consumes or changes an event.
class ActivityBrelvo : public QObject {
    Q_OBJECT
public:
    static ActivityBrelvo& shared();

    // Installs the watcher on the application, once; later calls do nothing.
    void trackActivity();
    bool isInstalled() const { return installed_; }

    bool toTrackActivity() const { return toTrackActivity_.load(); }
    void setToTrackActivity(bool on) { toTrackActivity_.store(on); }

    QWidget* alertView() const { return alertView_; }
    void setAlertView(QWidget* view) { alertView_ = view; }
    QWidget* topVC() const { return topVC_; }
    void setTopVC(QWidget* view) { topVC_ = view; }

    // The window the tester looks at: the key window, else the screen window.
    static QWidget* topViewController();

    // Takes the message boxes off the key window (keeping the last one), and
    // puts it back.
    void grabUIAlertView();
    void backUIAlertView();

    // One check per kind of control; each logs when its control is involved.
    // "view" is the widget the touch went to, "point" in its coordinates.
    void checkForUIButton(QWidget* view);
    void checkForUITableViewCell(QWidget* view, const QPoint& point);
    void checkForUICollectionViewCell(QWidget* view, const QPoint& point);
    void checkForUIStepper(QWidget* view);
    void checkForUISlider(QWidget* view);
    void checkForUISwitch(QWidget* view);
    void checkForUINavigationBar(QWidget* view, const QPoint& point);
    void checkForUISegmentedControl(QWidget* view);
    void checkForUITextField(QWidget* view);
    void checkForUITabBar(QWidget* view);

    // A view as the log shows it: class, address, name and frame.
    static QString describe(const QObject* object);

    // The delay before the checks that look at a control's state after the
    // touch changed it.
    static constexpr int kSettleMs = 200;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ActivityBrelvo() = default;
    void touched(QWidget* view, const QMouseEvent* event, bool ended);

    std::atomic<bool> toTrackActivity_{false};
    bool installed_ = false;
    QPointer<QWidget> alertView_;
    QPointer<QWidget> topVC_;
    // The last event handled, to tell a fresh press from its propagation to the parents.
    struct Seen {
        int type = 0;
        quint64 timestamp = 0;
        QPointF global;
        QPointer<QWidget> view;
    } seen_;
};

}  // namespace brelvo
