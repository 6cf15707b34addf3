#include "ui/session/BrelReadMeVC.h"

#include "core/UserHelperBrelvo.h"

#include <QEvent>
#include <QPainter>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QTextEdit>

#include <algorithm>

namespace brelvo {
namespace {
constexpr int kButtonHeight = 50;
}

const QString BrelReadMeVC::kText = QStringLiteral(
    "  Offline mode is activated due to server connection failure. All user activity and issues will be saved "
    "locally and sent to server when connection is restored.");

BrelReadMeVC::BrelReadMeVC(QWidget* parent) : QWidget(parent) {
    viewDidLoad();
}

void BrelReadMeVC::viewDidLoad() {
    textView_ = new QTextEdit(this);
    textView_->setReadOnly(true);
    textView_->setFrameShape(QFrame::NoFrame);
    textView_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    textView_->setStyleSheet(QStringLiteral("QTextEdit { color: black; background: white; font-size: 20px; }"));
    textView_->document()->setDocumentMargin(8);
    textView_->setPlainText(kText);

    okButton_ = new QPushButton(QStringLiteral("OK"), this);
    okButton_->setCursor(Qt::PointingHandCursor);
    okButton_->setFocusPolicy(Qt::NoFocus);
    okButton_->setStyleSheet(QStringLiteral(
        "QPushButton { background-color: rgb(128, 128, 128); color: white; border: none; font-size: 18px; }"
        "QPushButton:pressed { color: rgb(170, 170, 170); }"));
    connect(okButton_, &QPushButton::clicked, this, &BrelReadMeVC::exit);
    layoutElements();
}

void BrelReadMeVC::layoutElements() {
    textView_->setGeometry(0, 0, width(), std::max(0, height() - kButtonHeight));
    okButton_->setGeometry(0, height() - kButtonHeight, width(), kButtonHeight);
}

void BrelReadMeVC::resizeEvent(QResizeEvent*) {
    layoutElements();
}

void BrelReadMeVC::paintEvent(QPaintEvent*) {
    QPainter(this).fillRect(rect(), Qt::white);
}

bool BrelReadMeVC::eventFilter(QObject* watched, QEvent* event) {
    // Covers its view whatever size that takes.
    if (watched == parentWidget() && event->type() == QEvent::Resize && !leaving_)
        setGeometry(QRect(QPoint(0, 0), parentWidget()->size()));
    return QWidget::eventFilter(watched, event);
}

void BrelReadMeVC::presentOver(QWidget* view, bool animated) {
    if (!view) return;
    setParent(view);
    view->installEventFilter(this);
    const QRect target(QPoint(0, 0), view->size());
    show();
    raise();
    if (!animated) {
        setGeometry(target);
        return;
    }
    auto* slide = new QPropertyAnimation(this, "geometry", this);
    slide->setDuration(kAnimationMs);
    slide->setStartValue(target.translated(0, target.height()));
    slide->setEndValue(target);
    slide->setEasingCurve(QEasingCurve::OutCubic);
    slide->start(QAbstractAnimation::DeleteWhenStopped);
}

void BrelReadMeVC::exit() {
    if (leaving_) return;
    leaving_ = true;
    auto finish = [this] {
        hide();
        if (parentWidget()) parentWidget()->removeEventFilter(this);
        emit dismissed();
        deleteLater();
    };
    if (!parentWidget()) {
        finish();
        return;
    }
    auto* slide = new QPropertyAnimation(this, "geometry", this);
    slide->setDuration(kAnimationMs);
    slide->setStartValue(geometry());
    slide->setEndValue(geometry().translated(0, parentWidget()->height()));
    slide->setEasingCurve(QEasingCurve::InCubic);
    connect(slide, &QPropertyAnimation::finished, this, finish);
    slide->start(QAbstractAnimation::DeleteWhenStopped);
}

bool BrelReadMeVC::shouldAutorotate() const {
    return UserHelperBrelvo::shared().isOpen();
}

}  // namespace brelvo
