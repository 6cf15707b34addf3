#include "platform/WindowLayer.h"

#include "platform/LibraryFont.h"
#include "platform/Log.h"
#include "platform/Screen.h"
#include "platform/ViewTags.h"

#include <QApplication>
#include <QChildEvent>
#include <QVariantAnimation>
#include <QResizeEvent>
#include <QWindow>

#include <algorithm>

namespace brelvo {
namespace {

QList<QPointer<WindowLayer>>& registry() {
    static QList<QPointer<WindowLayer>> list;
    return list;
}

quint64 nextOrder = 1;
QPointer<QWidget> key;

// Watches the screen window: a new host widget must not cover the layers,
// and layers follow the screen's size when it changes (rotation, resizing).
class ScreenWatcher : public QObject {
public:
    explicit ScreenWatcher(QWidget* screenWindow) : QObject(screenWindow), last_(screenWindow->size()) {
        screenWindow->installEventFilter(this);
    }

    static void ensure(QWidget* screenWindow) {
        if (screenWindow->property("brelvoScreenWatched").toBool()) return;
        screenWindow->setProperty("brelvoScreenWatched", true);
        new ScreenWatcher(screenWindow);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ChildAdded) {
            auto* child = qobject_cast<WindowLayer*>(static_cast<QChildEvent*>(event)->child());
            if (!child) QMetaObject::invokeMethod(this, [] { windows::restack(); }, Qt::QueuedConnection);
        } else if (event->type() == QEvent::Resize) {
            const QSize now = static_cast<QWidget*>(watched)->size();
            if (last_.width() > 0 && last_.height() > 0 && now != last_) {
                for (WindowLayer* layer : WindowLayer::layers()) {
                    if (layer->parentWidget() != watched) continue;
                    const QRect f = layer->frame();
                    // A layer keeps its place relative to the screen: one moved a
                    // full width aside stays a full width aside.
                    const int x = f.x() * now.width() / last_.width();
                    const int y = f.y() * now.height() / last_.height();
                    layer->setFrame(QRect(x, y, now.width(), f.height() - last_.height() + now.height()));
                }
            }
            last_ = now;
        }
        return false;
    }

private:
    QSize last_;
};

}  // namespace

WindowLayer::WindowLayer(const QRect& frame, QWidget* screenWindow)
    : QWidget(screenWindow ? screenWindow : screen::window()), frame_(frame), order_(nextOrder++) {
    if (!parentWidget()) qCWarning(lcBrelvo) << "no screen window yet: the library's window has nowhere to show";
    setProperty("brelvoLayer", true);
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
    libraryfont::adopt(this);
    registry().append(this);
    if (parentWidget()) ScreenWatcher::ensure(parentWidget());
    applyGeometry();
    windows::restack();
}

WindowLayer::~WindowLayer() {
    registry().removeAll(this);
    registry().removeAll(nullptr);
}

void WindowLayer::setWindowLevel(int level) {
    level_ = level;
    windows::restack();
}

void WindowLayer::setFrame(const QRect& frame) {
    // Placing the window ends any move still under way.
    if (animation_) {
        animation_->stop();
        animation_->deleteLater();
        animation_ = nullptr;
    }
    moveFrame(frame);
}

void WindowLayer::moveFrame(const QRect& frame) {
    if (frame == frame_) return;
    frame_ = frame;
    applyGeometry();
    emit frameChanged();
}

QPointF WindowLayer::center() const {
    return QRectF(frame_).center();
}

QRect WindowLayer::frameWithCenter(const QPointF& c) const {
    QRectF f(frame_);
    f.moveCenter(c);
    return f.toRect();
}

void WindowLayer::setCenter(const QPointF& c) {
    setFrame(frameWithCenter(c));
}

void WindowLayer::animateFrame(const QRect& to, int milliseconds, QEasingCurve curve, std::function<void()> done) {
    // A new move replaces one still running, from wherever the window is now.
    setFrame(QRect(frame_.topLeft(), to.size()));  // only the position moves
    if (milliseconds <= 0) {
        setFrame(to);
        if (done) done();
        return;
    }
    auto* animation = new QVariantAnimation(this);
    animation_ = animation;
    animation->setStartValue(QPointF(frame_.topLeft()));
    animation->setEndValue(QPointF(to.topLeft()));
    animation->setDuration(milliseconds);
    animation->setEasingCurve(curve);
    connect(animation, &QVariantAnimation::valueChanged, this,
            [this, size = to.size()](const QVariant& value) { moveFrame(QRect(value.toPointF().toPoint(), size)); });
    connect(animation, &QVariantAnimation::finished, this, [this, to, done] {
        animation_ = nullptr;
        moveFrame(to);
        if (done) done();
    });
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void WindowLayer::setOverhang(const QMargins& overhang) {
    overhang_ = QMargins(0, 0, overhang.right(), overhang.bottom());
    applyGeometry();
}

void WindowLayer::applyGeometry() {
    setGeometry(frame_.x(), frame_.y(), frame_.width() + overhang_.right(), frame_.height() + overhang_.bottom());
    updateHitRegion();
}

void WindowLayer::makeKeyAndVisible() {
    windows::makeKeyAndVisible(this);
}

QRegion WindowLayer::hitRegion() const {
    return QRegion(0, 0, frame_.width(), frame_.height());
}

void WindowLayer::updateHitRegion() {
    const QRegion region = hitRegion() & QRegion(rect());
    if (region == QRegion(rect()))
        clearMask();
    else if (region.isEmpty())
        setMask(QRegion(-1, -1, 1, 1));  // an empty mask would mean "no mask": claim nothing on screen
    else
        setMask(region);
}

bool WindowLayer::event(QEvent* event) {
    // Children that come, go or move change what the window claims.
    switch (event->type()) {
    case QEvent::ChildAdded:
    case QEvent::ChildRemoved:
    case QEvent::LayoutRequest:
    case QEvent::Polish:  // a subclass's hit region is known only once it is built
    case QEvent::Show:
        updateHitRegion();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

QList<WindowLayer*> WindowLayer::layers() {
    QList<WindowLayer*> list;
    for (const QPointer<WindowLayer>& p : std::as_const(registry()))
        if (p) list.append(p);
    std::stable_sort(list.begin(), list.end(), [](const WindowLayer* a, const WindowLayer* b) {
        return a->level_ != b->level_ ? a->level_ < b->level_ : a->order_ < b->order_;
    });
    return list;
}

namespace windows {

QList<QWidget*> all() {
    QList<QWidget*> list;
    for (QWindow* w : QGuiApplication::topLevelWindows())
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (widget->windowHandle() == w && !widget->property("brelvoLayer").toBool()) list.append(widget);
    for (WindowLayer* layer : WindowLayer::layers())
        if (layer->isListed()) list.append(layer);
    return list;
}

QWidget* first() {
    QWidget* s = screen::window();
    if (s) return s;
    const QList<QWidget*> list = all();
    return list.isEmpty() ? nullptr : list.first();
}

QWidget* last() {
    const QList<QWidget*> list = all();
    return list.isEmpty() ? nullptr : list.last();
}

QWidget* withTag(int tag) {
    for (QWidget* w : all())
        if (tags::tag(w) == tag) return w;
    return nullptr;
}

QWidget* keyWindow() {
    return key;
}

void makeKeyAndVisible(QWidget* window) {
    if (!window) return;
    window->show();
    key = window;
    if (qobject_cast<WindowLayer*>(window)) {
        restack();
        window->setFocus(Qt::OtherFocusReason);
    } else {
        window->activateWindow();
    }
}

QPointF center(QWidget* window) {
    if (auto* layer = qobject_cast<WindowLayer*>(window)) return layer->center();
    return window ? QRectF(QPointF(0, 0), QSizeF(window->size())).center() : QPointF();
}

void setCenter(QWidget* window, const QPointF& c) {
    if (auto* layer = qobject_cast<WindowLayer*>(window)) layer->setCenter(c);
}

void restack() {
    for (WindowLayer* layer : WindowLayer::layers()) layer->raise();
}

}  // namespace windows
}  // namespace brelvo
