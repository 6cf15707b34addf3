#include "ui/session/BrelvoWindow.h"

#include "platform/ActivityIndicator.h"
#include "platform/Dispatch.h"
#include "platform/NotificationCenter.h"
#include "platform/Screen.h"
#include "platform/ViewTags.h"
#include "state/NotificationNames.h"
#include "state/RecordValues.h"
#include "state/UserHelperBrelvo.h"
#include "ui/images/BrelvoImageManager.h"

namespace brelvo {
namespace {

QImage icon(const char* key) {
    return BrelvoImageManager::sharedInstance().getImageForKey(QString::fromLatin1(key));
}


void centreAt(QWidget* w, qreal cx, qreal cy) {
    w->move(qRound(cx - w->width() / 2.0), qRound(cy - w->height() / 2.0));
}

}  // namespace

BrelvoWindow::Geometry BrelvoWindow::geometry(bool tablet) {
    if (tablet) return {QSize(55, 55), QSize(55, 55), 40, 18, 20, -13, 42};
    return {QSize(53, 54), QSize(53, 54), 54, 26, 27, 3, 57};
}

BrelvoWindow::BrelvoWindow(const QRect& frame, QWidget* screenWindow)
    : WindowLayer(frame, screenWindow), geometry_(geometry(screen::isTablet())) {
    setWindowLevel(kAlertLevel);
    tags::setTag(this, kTag);
    setOverhang(QMargins(0, 0, qMax(geometry_.slider.width(), geometry_.screenshotButton.width()), 0));
    setupInterface();
    UserHelperBrelvo::shared().setIsOpen(false);
    isOpen_ = false;

    NotificationCenter& center = NotificationCenter::defaultCenter();
    center.addObserver(notifications::kBringSliderToFront, this, [this](const Notification&) { bringSliderToFront(); },
                       Qt::QueuedConnection);
    // Hidden at once when asked on the GUI thread: a capture may follow in the same call.
    center.addObserver(notifications::kBringSliderToBack, this, [this](const Notification&) { bringSliderToBack(); });
    center.addObserver(notifications::kButtonsState,
                       [this](const Notification& n) { setupMainButtonByMode(n.object); }, this);
}

BrelvoWindow::~BrelvoWindow() {
    NotificationCenter::defaultCenter().removeObserver(this);
    if (UserHelperBrelvo::shared().sliderButton() == slider_) UserHelperBrelvo::shared().setSliderButton(nullptr);
}

void BrelvoWindow::setupInterface() {
    const int width = frame().width();
    yPosition_ = (screen::bounds().height() - geometry_.startOffset) * 0.5 + 3;

    slider_ = new ImageButton(this);
    slider_->setObjectName(QStringLiteral("brelvoSlider"));
    slider_->setGeometry(QRect(QPoint(width, qRound(yPosition_)), geometry_.slider));
    slider_->setDraggable(true);
    connect(slider_, &ImageButton::clicked, this, &BrelvoWindow::sliderPressed);
    connect(slider_, &ImageButton::dragged, this, &BrelvoWindow::wasDragged);
    UserHelperBrelvo::shared().setSliderButton(slider_);

    screenshot_ = new ImageButton(this);
    screenshot_->setObjectName(QStringLiteral("brelvoMakeScreenshot"));
    screenshot_->setGeometry(
        QRect(QPoint(width, qRound(yPosition_) + geometry_.slider.height()), geometry_.screenshotButton));
    connect(screenshot_, &ImageButton::clicked, this, &BrelvoWindow::makeScreenshotPressed);

    // Authentication starts as soon as the overlay exists: show the buttons
    // loading rather than blank until the first mode arrives.
    applyMode(0);
    updateHitRegion();
}

QRegion BrelvoWindow::hitRegion() const {
    // The frame as it stands in screen coordinates, compared with window
    // points unconverted: at home it covers the whole window, moved a screen
    // aside it covers nothing on screen.
    QRegion region(frame().x(), frame().y(), frame().width(), frame().height());
    // Hidden buttons claim nothing, so they leave no dead spot on the host.
    if (slider_ && slider_->isVisibleTo(this)) region += slider_->geometry();
    if (screenshot_ && screenshot_->isVisibleTo(this)) region += screenshot_->geometry();
    return region;
}

void BrelvoWindow::setupMainButtonByMode(const QVariant& mode) {
    if (!records::isNumber(mode)) return;
    const int value = mode.toInt();
    dispatch::toMain([p = QPointer<BrelvoWindow>(this), value] {
        if (p) p->applyMode(value);
    });
}

void BrelvoWindow::removeSpinner() {
    for (ActivityIndicator* spinner : slider_->findChildren<ActivityIndicator*>()) delete spinner;
}

void BrelvoWindow::applyMode(int mode) {
    removeSpinner();
    // Screenshots wait while the session loads or cannot be used.
    const bool screenshots = mode != 0 && mode != 2 && mode != 3;
    screenshot_->setImage(icon(screenshots ? "screenshot_button" : "screenshot_button_unactive"));
    screenshot_->setEnabled(screenshots);
    switch (mode) {
    case 0: {
        slider_->setImage(icon("bv_button_loading"));
        auto* spinner = new ActivityIndicator(ActivityIndicator::White, slider_);
        spinner->setAttribute(Qt::WA_TransparentForMouseEvents);
        centreAt(spinner, slider_->width() * 0.5 - 2, slider_->height() * 0.5 + 5);
        spinner->startAnimating();
        break;
    }
    case 1:
        slider_->setImage(icon("bv_button"));
        break;
    case 2:
    case 3:
        slider_->setImage(icon("bv_button_unactive"));
        break;
    default:
        break;
    }
}

void BrelvoWindow::bringSliderToFront() {
    slider_->show();
    screenshot_->show();
    slider_->raise();
    screenshot_->raise();
    updateHitRegion();
}

void BrelvoWindow::bringSliderToBack() {
    slider_->hide();
    screenshot_->hide();
    slider_->lower();
    screenshot_->lower();
    updateHitRegion();
}

void BrelvoWindow::sliderPressed() {
    isOpen_ = UserHelperBrelvo::shared().isOpen();
    NotificationCenter::defaultCenter().post(isOpen_ ? notifications::kCloseMenu : notifications::kOpenMenu);
}

void BrelvoWindow::makeScreenshotPressed() {
    NotificationCenter::defaultCenter().post(notifications::kMakeScreenshot);
}

void BrelvoWindow::wasDragged(const QPointF& position) {
    const qreal applicationHeight = screen::bounds().height();
    if (yPosition_ < geometry_.lowestPosition)
        yPosition_ = geometry_.resetPosition;
    else if (yPosition_ > applicationHeight)
        yPosition_ = applicationHeight;
    else
        yPosition_ = position.y() + QRectF(slider_->geometry()).center().y();
    centreAt(slider_, QRectF(slider_->geometry()).center().x(), yPosition_ + geometry_.sliderCenter);
    centreAt(screenshot_, QRectF(screenshot_->geometry()).center().x(), yPosition_ + geometry_.screenshotCenter);
    updateHitRegion();
}

}  // namespace brelvo
