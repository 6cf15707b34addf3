#pragma once

#include <QAbstractAnimation>
#include <QEasingCurve>
#include <QMargins>
#include <QPointer>
#include <QRegion>
#include <QWidget>

#include <functional>

namespace brelvo {

// A window of the library: a child widget of the screen window (the host's
// main window), stacked above every host widget by its window level and kept
// there. Its frame is in screen coordinates; moving the frame moves the layer,
// and the screen clips what lies outside it, as a device clips a window moved
// off screen. A layer takes only the input its hit region claims; everything
// else reaches the host widgets below it.
class WindowLayer : public QWidget {
    Q_OBJECT
public:
    static constexpr int kNormalLevel = 0;
    static constexpr int kAlertLevel = 2000;

    explicit WindowLayer(const QRect& frame, QWidget* screenWindow = nullptr);
    ~WindowLayer() override;

    int windowLevel() const { return level_; }
    void setWindowLevel(int level);

    QRect frame() const { return frame_; }
    void setFrame(const QRect& frame);
    QPointF center() const;
    void setCenter(const QPointF& center);
    // The frame moved so that its centre lies at the point.
    QRect frameWithCenter(const QPointF& center) const;
    // Moves the frame over the duration (at once when it is 0) and then calls done.
    void animateFrame(const QRect& to, int milliseconds, QEasingCurve curve, std::function<void()> done = {});

    // Room beyond the frame's right and bottom edges where the layer may still
    // show (and take input for) its content, such as buttons that hang off the edge.
    void setOverhang(const QMargins& overhang);

    void makeKeyAndVisible();

    // The points, in the window's own coordinates, that this window takes.
    // By default the whole frame.
    virtual QRegion hitRegion() const;
    bool pointInside(const QPoint& windowPoint) const { return hitRegion().contains(windowPoint); }
    // Applies the hit region again (after the window's controls moved or changed).
    void updateHitRegion();

    static QList<WindowLayer*> layers();  // by window level, then creation

    // A helper layer of the library's own (such as the one alerts use when the
    // last window is off screen) is not one of the application's windows.
    bool isListed() const { return listed_; }
    void setListed(bool listed) { listed_ = listed; }

signals:
    void frameChanged();

protected:
    bool event(QEvent* event) override;

private:
    void applyGeometry();
    void moveFrame(const QRect& frame);

    QRect frame_;
    QMargins overhang_;
    int level_ = kNormalLevel;
    quint64 order_ = 0;
    bool listed_ = true;
    QPointer<QAbstractAnimation> animation_;
};

// The application's windows: the host's top-level windows in creation order,
// then the library's layers by level. "The last window" is the topmost layer
// (or the host's last window when there is none).
namespace windows {

QList<QWidget*> all();
QWidget* first();
QWidget* last();
QWidget* withTag(int tag);

QWidget* keyWindow();
void makeKeyAndVisible(QWidget* window);

// A window's centre in screen coordinates. Layers move; the host's windows
// are the screen itself and stay where they are.
QPointF center(QWidget* window);
void setCenter(QWidget* window, const QPointF& center);

// Re-stacks the layers above the host's widgets, in level order.
void restack();

}  // namespace windows
}  // namespace brelvo
