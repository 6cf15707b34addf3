#include "ui/session/BVAlert.h"

#include "platform/Dispatch.h"
#include "platform/LibraryFont.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/Screen.h"
#include "platform/WindowLayer.h"
#include "state/NotificationNames.h"

#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>

namespace brelvo {
namespace {

constexpr int kBoxWidth = 290;
constexpr int kBoxHeight = 165;
constexpr int kButtonHeight = 45;
constexpr int kButtonWidth = 115;

// The white box behind the alert's contents.
class AlertBox : public QWidget {
public:
    explicit AlertBox(QWidget* parent) : QWidget(parent) { setStyleSheet(QStringLiteral("background: transparent;")); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()), 8, 8);
        p.fillPath(path, Qt::white);
    }
};

QPushButton* makeButton(const QString& title, QWidget* parent) {
    auto* button = new QPushButton(title, parent);
    button->setCursor(Qt::PointingHandCursor);
    button->setFocusPolicy(Qt::NoFocus);
    button->setStyleSheet(QStringLiteral(
        "QPushButton { background-color: rgb(32, 144, 192); color: white; border: none; border-radius: 6px;"
        " font-size: 17px; }"
        "QPushButton:pressed { background-color: rgb(24, 112, 152); color: rgba(255, 255, 255, 180); }"));
    return button;
}

}  // namespace

BVAlert::BVAlert(const QString& title, const QString& message, const QString& cancelButton,
                 const QString& otherButton) {
    setAttribute(Qt::WA_NoSystemBackground);
    // The host's application-wide style sheet must not fill the dimmed layer.
    setObjectName(QStringLiteral("brelvoAlert"));
    setStyleSheet(QStringLiteral("#brelvoAlert { background: transparent; }"));
    libraryfont::adopt(this);
    const QSize screenSize = screen::bounds().isValid() ? screen::bounds() : QSize(320, 568);
    setGeometry(QRect(QPoint(0, 0), screenSize));
    bvAlertFrame_ = boxFrame(screenSize, screen::isTablet());

    box_ = new AlertBox(this);

    titleLabel_ = new QLabel(title, this);
    titleLabel_->setAlignment(Qt::AlignCenter);
    titleLabel_->setStyleSheet(QStringLiteral("QLabel { color: rgb(255, 102, 0); font-weight: bold; font-size: 17px;"
                                              " background: transparent; }"));

    messageView_ = new QTextEdit(this);
    messageView_->setReadOnly(true);
    messageView_->setFrameShape(QFrame::NoFrame);
    messageView_->setTextInteractionFlags(Qt::NoTextInteraction);
    messageView_->setFocusPolicy(Qt::NoFocus);
    messageView_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    messageView_->setStyleSheet(QStringLiteral("QTextEdit { color: black; background: transparent; font-size: 15px; }"));
    messageView_->viewport()->setAutoFillBackground(false);
    QTextOption centred(Qt::AlignHCenter);
    centred.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    messageView_->document()->setDefaultTextOption(centred);
    messageView_->document()->setDocumentMargin(2);
    messageView_->setPlainText(message);

    if (!cancelButton.isEmpty()) {
        cancelButton_ = makeButton(cancelButton, this);
        connect(cancelButton_, &QPushButton::clicked, this, &BVAlert::cancelBtnPressed);
    }
    if (!otherButton.isEmpty()) {
        otherButton_ = makeButton(otherButton, this);
        connect(otherButton_, &QPushButton::clicked, this, &BVAlert::successBtnPressed);
    }

    layoutContents();

    // Starts fully transparent; show() fades it in.
    opacity_ = new QGraphicsOpacityEffect(this);
    opacity_->setOpacity(0.0);
    setGraphicsEffect(opacity_);
    QWidget::hide();
}

BVAlert::~BVAlert() {
    NotificationCenter::defaultCenter().removeObserver(this);
    // An alert destroyed while it shows (its window went away) must not leave
    // the delegate's view dead to input.
    if (!closing_) setDelegateViewEnabled(true);
}

QRect BVAlert::boxFrame(const QSize& screenSize, bool tablet) {
    const int w = screenSize.width();
    const int h = screenSize.height();
    if (tablet) return QRect(w / 2 - 145, 300, kBoxWidth, kBoxHeight);
    // A phone held sideways lays the alert out afresh rather than turning it,
    // so the box is centred on the wide screen.
    if (w > h) return QRect((w - kBoxWidth) / 2, (h - kBoxHeight) / 2, kBoxWidth, kBoxHeight);
    return QRect((w - kBoxWidth) / 2, h == 568 ? 213 : 125, kBoxWidth, kBoxHeight);
}

void BVAlert::layoutContents() {
    const QRect b = bvAlertFrame_;
    box_->setGeometry(b);
    titleLabel_->setGeometry(b.x() + 10, b.y() + 10, b.width() - 20, 30);
    messageView_->setGeometry(b.x() + 10, b.y() + 10 + 30, b.width() - 20, b.height() - 105);
    const int buttonTop = b.y() + b.height() - 65;
    if (cancelButton_ && otherButton_) {
        cancelButton_->setGeometry(b.x() + 20, buttonTop, kButtonWidth, kButtonHeight);
        // Mirrors the cancel button, so that the pair sits centred in the box.
        otherButton_->setGeometry(b.right() + 1 - 20 - kButtonWidth, buttonTop, kButtonWidth, kButtonHeight);
    } else if (QPushButton* only = cancelButton_ ? cancelButton_ : otherButton_) {
        only->setGeometry(b.x() + 20, buttonTop, b.width() - 40, kButtonHeight);
    }
}

BVAlertDelegate* BVAlert::bvAlertDelegate() const {
    if (delegateIsObject_ && !delegateObject_) return nullptr;
    return delegate_;
}

void BVAlert::setBvAlertDelegate(BVAlertDelegate* delegate) {
    delegate_ = delegate;
    auto* object = dynamic_cast<QObject*>(delegate);
    delegateIsObject_ = object != nullptr;
    delegateObject_ = object;
}

void BVAlert::setDelegateViewEnabled(bool enabled) {
    if (enabled) {
        if (disabledView_) disabledView_->setEnabled(true);
        disabledView_.clear();
        return;
    }
    BVAlertDelegate* delegate = bvAlertDelegate();
    QWidget* view = delegate ? delegate->alertDelegateView() : nullptr;
    if (!view) return;
    // Disabling a view that holds the alert would disable the alert's own buttons.
    if (view == this || view->isAncestorOf(this)) {
        qCWarning(lcBrelvo) << "the alert's delegate view holds the alert; it stays enabled";
        return;
    }
    view->setEnabled(false);
    disabledView_ = view;
}

QWidget* BVAlert::alertWindow(QWidget* screenWindow) {
    static QPointer<WindowLayer> window;
    if (!window || window->parentWidget() != screenWindow) {
        window = new WindowLayer(QRect(QPoint(0, 0), screenWindow->size()), screenWindow);
        window->setWindowLevel(WindowLayer::kAlertLevel + 1);
        window->setProperty("brelvoAlertWindow", true);
        window->setListed(false);
    }
    window->setFrame(QRect(QPoint(0, 0), screenWindow->size()));
    window->show();
    return window;
}

void BVAlert::show(BVAlert* alert) {
    if (!alert) return;
    QPointer<BVAlert> guard(alert);
    auto work = [guard] {
        BVAlert* a = guard;
        if (!a) return;
        QWidget* last = windows::last();
        if (!last) {
            qCWarning(lcBrelvo).noquote() << "no window to show the alert in:" << a->titleLabel_->text();
            return;
        }
        last->setVisible(true);
        // A library window moved off the screen (the overlay with its menu
        // closed) would carry the alert off the screen with it; the alert then
        // goes onto a window of its own above every other.
        QWidget* parent = last;
        auto* layer = qobject_cast<WindowLayer*>(last);
        QWidget* screenWindow = screen::window();
        if (layer && screenWindow && !layer->frame().contains(QRect(QPoint(0, 0), screenWindow->size()).center()))
            parent = alertWindow(screenWindow);
        if (a->parentWidget() != parent) a->setParent(parent);
        NotificationCenter::defaultCenter().removeObserver(a);
        NotificationCenter::defaultCenter().addObserver(
            notifications::kDeviceOrientationDidChange, a, [a](const Notification&) { a->orientationChanged(); },
            Qt::QueuedConnection);
        parent->installEventFilter(a);
        a->closing_ = false;
        a->orientationChanged();
        a->QWidget::show();
        a->raise();
        a->setDelegateViewEnabled(false);
        a->fade(1.0, {});
    };
    if (dispatch::isMainThread())
        work();
    else
        dispatch::toMain(work);
}

void BVAlert::close() {
    QPointer<BVAlert> guard(this);
    auto work = [guard] {
        BVAlert* a = guard;
        if (!a || a->closing_) return;
        a->closing_ = true;
        a->setDelegateViewEnabled(true);
        a->fade(0.0, {});
        QTimer::singleShot(kFadeMs, a, [a] { a->deleteAlert(); });
    };
    if (dispatch::isMainThread())
        work();
    else
        dispatch::toMain(work);
}

void BVAlert::deleteAlert() {
    NotificationCenter::defaultCenter().removeObserver(this);
    if (parentWidget()) parentWidget()->removeEventFilter(this);
    QWidget::hide();
    // The alerts' own window takes input only while an alert shows on it.
    if (auto* own = qobject_cast<WindowLayer*>(parentWidget()); own && own->property("brelvoAlertWindow").toBool()) {
        bool othersShow = false;
        for (BVAlert* other : own->findChildren<BVAlert*>(QString(), Qt::FindDirectChildrenOnly))
            othersShow |= other != this && other->isVisible();
        if (!othersShow) own->hide();
    }
    emit closed();
    deleteLater();
}

void BVAlert::cancelBtnPressed() {
    // A second press during the fade-out must not call the delegate twice.
    if (closing_) return;
    NotificationCenter::defaultCenter().removeObserver(this);
    close();
    if (BVAlertDelegate* delegate = bvAlertDelegate()) delegate->cancelButtonPressed();
}

void BVAlert::successBtnPressed() {
    if (closing_) return;
    NotificationCenter::defaultCenter().removeObserver(this);
    close();
    if (BVAlertDelegate* delegate = bvAlertDelegate()) delegate->successButtonPressed();
}

void BVAlert::orientationChanged() {
    // The host's window lays itself out afresh when the device turns; the
    // alert follows by covering the screen again and placing its box for the
    // new size.
    QWidget* screenWindow = screen::window();
    const QSize size = screenWindow ? screenWindow->size() : this->size();
    QPoint origin(0, 0);
    if (QWidget* parent = parentWidget(); parent && screenWindow && parent != screenWindow &&
                                          screenWindow->isAncestorOf(parent))
        origin = parent->mapFrom(screenWindow, QPoint(0, 0));
    setGeometry(QRect(origin, size));
    bvAlertFrame_ = boxFrame(size, screen::isTablet());
    layoutContents();
}

void BVAlert::fade(qreal to, std::function<void()> done) {
    auto* animation = new QPropertyAnimation(opacity_, "opacity", this);
    animation->setDuration(kFadeMs);
    animation->setStartValue(opacity_->opacity());
    animation->setEndValue(to);
    connect(animation, &QPropertyAnimation::finished, this, [done = std::move(done)] {
        if (done) done();
    });
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void BVAlert::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(0, 0, 0, 102));  // black at alpha 0.4
}

bool BVAlert::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        QMetaObject::invokeMethod(this, &BVAlert::orientationChanged, Qt::QueuedConnection);
    return QWidget::eventFilter(watched, event);
}

}  // namespace brelvo
