#include "platform/CoverScreen.h"

#include "platform/LibraryFont.h"

#include <QEvent>
#include <QPropertyAnimation>

namespace brelvo {

CoverScreen::CoverScreen(QWidget* parent) : QWidget(parent) {
    // Presented over host views too, whose font is the host's.
    libraryfont::adopt(this);
}

void CoverScreen::presentOver(QWidget* view, bool animated) {
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

void CoverScreen::leave(bool animated) {
    if (leaving_) return;
    leaving_ = true;
    if (!animated || !parentWidget()) {
        finishLeaving();
        return;
    }
    auto* slide = new QPropertyAnimation(this, "geometry", this);
    slide->setDuration(kAnimationMs);
    slide->setStartValue(geometry());
    slide->setEndValue(geometry().translated(0, parentWidget()->height()));
    slide->setEasingCurve(QEasingCurve::InCubic);
    connect(slide, &QPropertyAnimation::finished, this, &CoverScreen::finishLeaving);
    slide->start(QAbstractAnimation::DeleteWhenStopped);
}

void CoverScreen::finishLeaving() {
    hide();
    if (parentWidget()) parentWidget()->removeEventFilter(this);
    left();
    deleteLater();
}

bool CoverScreen::eventFilter(QObject* watched, QEvent* event) {
    // Covers its view whatever size that takes (the screen turned or was resized).
    if (watched == parentWidget() && event->type() == QEvent::Resize && !leaving_)
        setGeometry(QRect(QPoint(0, 0), parentWidget()->size()));
    return QWidget::eventFilter(watched, event);
}

}  // namespace brelvo
