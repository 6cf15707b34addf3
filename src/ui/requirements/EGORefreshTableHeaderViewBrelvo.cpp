#include "ui/requirements/EGORefreshTableHeaderViewBrelvo.h"

#include "platform/ActivityIndicator.h"
#include "platform/Defaults.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QGraphicsDropShadowEffect>
#include <QLabel>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>

#include <algorithm>

namespace brelvo {

namespace {

const QColor kBackground(226, 231, 237);
const QColor kText(87, 108, 137);

QFont systemFont(int pixelSize, bool bold) {
    QFont font = QApplication::font();
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

QLabel* headerLabel(QWidget* parent, const QFont& font, const QColor& colour) {
    auto* label = new QLabel(parent);
    label->setFont(font);
    label->setAlignment(Qt::AlignCenter);
    label->setStyleSheet(QStringLiteral("color: %1; background: transparent;").arg(colour.name()));
    auto* shadow = new QGraphicsDropShadowEffect(label);
    shadow->setColor(QColor::fromRgbF(0.9, 0.9, 0.9));
    shadow->setOffset(0, 1);
    shadow->setBlurRadius(0);
    label->setGraphicsEffect(shadow);
    return label;
}

}  // namespace

EGORefreshTableHeaderViewBrelvo::EGORefreshTableHeaderViewBrelvo(QWidget* parent)
    : EGORefreshTableHeaderViewBrelvo(parent, QStringLiteral("blueArrow.png"), kText) {}

// The arrow is drawn in the text colour rather than read from a picture file:
// the library carries no such file, and a drawn arrow stays sharp at every scale.
EGORefreshTableHeaderViewBrelvo::EGORefreshTableHeaderViewBrelvo(QWidget* parent, const QString&, const QColor& textColor)
    : QWidget(parent),
      statusLabel_(headerLabel(this, systemFont(13, true), textColor)),
      lastUpdatedLabel_(headerLabel(this, systemFont(12, false), textColor)),
      activityView_(new ActivityIndicator(ActivityIndicator::Gray, this)),
      textColor_(textColor) {
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, kBackground);
    setPalette(palette);
    activityView_->hide();
    setState(Normal);
}

bool EGORefreshTableHeaderViewBrelvo::isLoading() {
    return delegate_ && delegate_->egoRefreshTableHeaderDataSourceIsLoading(this);
}

void EGORefreshTableHeaderViewBrelvo::refreshLastUpdatedDate() {
    const std::optional<QDateTime> date =
        delegate_ ? delegate_->egoRefreshTableHeaderDataSourceLastUpdated(this) : std::nullopt;
    if (!date) {
        lastUpdatedLabel_->clear();
        return;
    }
    const QString text = QStringLiteral("Last Updated: %1").arg(QLocale().toString(*date, QLocale::ShortFormat));
    lastUpdatedLabel_->setText(text);
    Defaults::standard().setObject(text, QString::fromLatin1(kLastRefreshKey));
    Defaults::standard().synchronize();
}

void EGORefreshTableHeaderViewBrelvo::setState(State state) {
    switch (state) {
    case Pulling:
        statusLabel_->setText(tr("Release to refresh..."));
        arrowAngle_ = 180;
        arrowShown_ = true;
        activityView_->stopAnimating();
        activityView_->hide();
        break;
    case Normal:
        statusLabel_->setText(tr("Pull down to refresh..."));
        arrowAngle_ = 0;
        arrowShown_ = true;
        activityView_->stopAnimating();
        activityView_->hide();
        refreshLastUpdatedDate();
        break;
    case Loading:
        statusLabel_->setText(tr("Loading..."));
        arrowShown_ = false;
        activityView_->show();
        activityView_->startAnimating();
        break;
    }
    state_ = state;
    update();
}

void EGORefreshTableHeaderViewBrelvo::egoRefreshScrollViewDidScroll(qreal offset, bool dragging) {
    setPull(std::max<qreal>(0, -offset));
    if (state_ == Loading) {
        setInset(std::clamp<qreal>(-offset, 0, kLoadingInset));
        return;
    }
    if (!dragging) return;
    const bool loading = isLoading();
    if (state_ == Pulling && offset > -kTriggerDistance && offset < 0 && !loading)
        setState(Normal);
    else if (state_ == Normal && offset < -kTriggerDistance && !loading)
        setState(Pulling);
    if (inset_ != 0) setInset(0);
}

void EGORefreshTableHeaderViewBrelvo::egoRefreshScrollViewDidEndDragging(qreal offset) {
    setPull(0);
    if (offset > -kTriggerDistance || isLoading()) return;
    if (delegate_) delegate_->egoRefreshTableHeaderDidTriggerRefresh(this);
    setState(Loading);
    setInset(kLoadingInset);
}

void EGORefreshTableHeaderViewBrelvo::egoRefreshScrollViewDataSourceDidFinishedLoading() {
    setInset(0);
    setState(Normal);
}

void EGORefreshTableHeaderViewBrelvo::setInset(qreal inset) {
    const qreal before = contentShift();
    inset_ = inset;
    if (contentShift() != before) emit contentShiftChanged(contentShift());
}

void EGORefreshTableHeaderViewBrelvo::setPull(qreal pull) {
    const qreal before = contentShift();
    pull_ = pull;
    if (contentShift() != before) emit contentShiftChanged(contentShift());
}

void EGORefreshTableHeaderViewBrelvo::attach(QAbstractScrollArea* list) {
    if (list_) list_->viewport()->removeEventFilter(this);
    list_ = list;
    if (list_) list_->viewport()->installEventFilter(this);
}

// A list widget does not scroll past its top, so the offset is made from the
// finger's travel below where it pressed (counted only from the list's top)
// and the room kept open at the press, as a scroll view's would be.
bool EGORefreshTableHeaderViewBrelvo::eventFilter(QObject* watched, QEvent* event) {
    if (!list_ || watched != list_->viewport()) return false;
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove && type != QEvent::MouseButtonRelease)
        return false;
    const auto* mouse = static_cast<QMouseEvent*>(event);
    switch (type) {
    case QEvent::MouseButtonPress:
        if (mouse->button() == Qt::LeftButton && list_->verticalScrollBar()->value() == 0)
            press_ = Press{mouse->globalPosition().y(), inset_};
        break;
    case QEvent::MouseMove:
        if (press_ && (mouse->buttons() & Qt::LeftButton)) {
            const qreal travel = mouse->globalPosition().y() - press_->y;
            egoRefreshScrollViewDidScroll(-std::max<qreal>(press_->inset + travel, 0), true);
            return travel > 0;  // a pull is not a drag over the rows
        }
        break;
    case QEvent::MouseButtonRelease:
        if (press_ && mouse->button() == Qt::LeftButton) {
            const qreal travel = mouse->globalPosition().y() - press_->y;
            const qreal offset = -std::max<qreal>(press_->inset + travel, 0);
            press_.reset();
            egoRefreshScrollViewDidEndDragging(offset);
            return travel > 0;  // nor a tap on a row
        }
        break;
    default:
        break;
    }
    return false;
}

void EGORefreshTableHeaderViewBrelvo::resizeEvent(QResizeEvent*) {
    const int h = height();
    statusLabel_->setGeometry(0, h - 48, width(), 20);
    lastUpdatedLabel_->setGeometry(0, h - 30, width(), 20);
    activityView_->setGeometry(25, h - 38, 20, 20);
}

// The arrow: a shaft and a head pointing down, turned up while pulling.
void EGORefreshTableHeaderViewBrelvo::paintEvent(QPaintEvent*) {
    if (!arrowShown_) return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(40, height() - 37.5);
    p.rotate(arrowAngle_);
    p.setPen(QPen(textColor_, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(0, -20), QPointF(0, 18));
    QPainterPath head;
    head.moveTo(-9, 9);
    head.lineTo(0, 20);
    head.lineTo(9, 9);
    p.drawPath(head);
}

}  // namespace brelvo
