#include "ui/session/CustomViewBrelvoiPhone.h"

#include <brelvo/Brelvo.h>

#include "core/NotificationNames.h"
#include "platform/Dispatch.h"
#include "platform/ImageButton.h"
#include "platform/Log.h"
#include "platform/MotionSource.h"
#include "platform/NotificationCenter.h"
#include "platform/WindowLayer.h"
#include "ui/editor/BrelvoImageManager.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>

#include <cmath>

namespace brelvo {
namespace {

constexpr int kTopBarHeight = 64;

bool isNumber(const QVariant& v) {
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return true;
    default:
        return false;
    }
}

// The drawn back-to-application mark: a chevron pointing back to the app.
QImage backImage() {
    QImage image(60, 60, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(46, 124, 246));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRectF(1, 1, 28, 28));
    p.setPen(QPen(Qt::white, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({QPointF(17, 9), QPointF(11, 15), QPointF(17, 21)}));
    return image;
}

}  // namespace

CustomViewBrelvoiPhone::CustomViewBrelvoiPhone(QWidget* parent) : CustomViewBrelvo(parent) {
    if (QWidget* first = windows::first()) first->show();
    createGUI();
    setStateForAnimate(false);
    registerObservers();

    // The device reports its orientation once when the panel starts listening,
    // and again on every change.
    if (QScreen* s = QGuiApplication::primaryScreen())
        connect(s, &QScreen::orientationChanged, this,
                [] { NotificationCenter::defaultCenter().post(notifications::kDeviceOrientationDidChange); });
    QMetaObject::invokeMethod(this, [] {
        NotificationCenter::defaultCenter().post(notifications::kDeviceOrientationDidChange);
    }, Qt::QueuedConnection);

    // The session starts here: authentication, the offline badge's timer and
    // the user's picture arrive with the session work.
}

CustomViewBrelvoiPhone::~CustomViewBrelvoiPhone() {
    stopMotion();
}

void CustomViewBrelvoiPhone::createGUI() {
    // Everything paints itself: a host's style sheet must not restyle the menu.
    auto* logo = new QLabel(this);
    logo->setObjectName(QStringLiteral("logo"));
    const QImage logoImage = BrelvoImageManager::sharedInstance().getImageForKey(QStringLiteral("logo"));
    logo->setPixmap(QPixmap::fromImage(logoImage).scaled(QSize(118, 20), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    logo->setGeometry(16, 24, 118, 20);
    logo->setAttribute(Qt::WA_TranslucentBackground);

    backButton_ = new ImageButton(this);
    backButton_->setObjectName(QStringLiteral("backToApplication"));
    backButton_->setImage(backImage());
    backButton_->resize(30, 30);
    backButton_->setToolTip(QStringLiteral("Back to the application"));
    connect(backButton_, &ImageButton::clicked, this, &CustomViewBrelvoiPhone::backMenuButtonAction);
}

void CustomViewBrelvoiPhone::registerObservers() {
    NotificationCenter& center = NotificationCenter::defaultCenter();
    auto onMain = [this](std::function<void()> work) {
        dispatch::toMain([p = QPointer<CustomViewBrelvoiPhone>(this), work = std::move(work)] {
            if (p) work();
        });
    };
    center.addObserver(notifications::kDeviceOrientationDidChange, [this](const Notification&) { setMyOrientation(2); }, this);
    center.addObserver(notifications::kShowMenuSlider, [this, onMain](const Notification&) { onMain([this] { show(); }); }, this);
    center.addObserver(notifications::kHideMenuSlider, [](const Notification&) {
        // Stops the lifecycle timer; that timer arrives with the diagnostics work.
    }, this);
    center.addObserver(notifications::kOpenMenu, [this, onMain](const Notification&) { onMain([this] { openMenu(); }); }, this);
    center.addObserver(notifications::kCloseMenu, [this, onMain](const Notification&) { onMain([this] { closeMenu(); }); }, this);
    center.addObserver(notifications::kCloseMenuWithoutDuration,
                       [this, onMain](const Notification&) { onMain([this] { closeMenuWithoutDuration(); }); }, this);
    center.addObserver(notifications::kMakeScreenshot,
                       [this, onMain](const Notification&) { onMain([this] { btnMakeScreenshotPressedAction(); }); }, this);
    center.addObserver(notifications::kActivationMode, [this, onMain](const Notification& n) {
        const QVariant mode = n.object;
        onMain([this, mode] { handleActivationMode(mode); });
    }, this);
    // "CallPostIssue", "Authentication" and "UpdateUserImage" are observed by the
    // issue and session work that handles them.
}

void CustomViewBrelvoiPhone::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(244, 246, 250));
    painter.fillRect(QRect(0, 0, width(), kTopBarHeight), QColor(51, 51, 51));
}

void CustomViewBrelvoiPhone::resizeEvent(QResizeEvent* event) {
    CustomViewBrelvo::resizeEvent(event);
    backButton_->move(width() - backButton_->width() - 14, 21);
}

void CustomViewBrelvoiPhone::handleActivationMode(const QVariant& mode) {
    if (!isNumber(mode)) return;
    setActivationMode(mode.toInt());
    NotificationCenter& center = NotificationCenter::defaultCenter();
    switch (activationMode()) {
    case 0:
        center.post(notifications::kBringSliderToFront);
        stopMotion();
        break;
    case 1:
        activationModeForShake();
        center.post(notifications::kBringSliderToBack);
        break;
    case 2:
        center.post(notifications::kBringSliderToBack);
        stopMotion();
        break;
    default:
        break;
    }
}

void CustomViewBrelvoiPhone::activationModeForShake() {
    mainOrScreenshot_ = 1;
    if (!mainOrScreenshotObserver_)
        mainOrScreenshotObserver_ = NotificationCenter::defaultCenter().addObserver(
            notifications::kMainOrScreenshot, [this](const Notification& n) {
                if (isNumber(n.object)) mainOrScreenshot_ = n.object.toInt();
            }, this);
    stopMotion();
    manager_ = MotionSource::create(this);
    connect(manager_, &MotionSource::userAcceleration, this, &CustomViewBrelvoiPhone::onMotion);
    manager_->start(kMotionIntervalMs);
}

void CustomViewBrelvoiPhone::stopMotion() {
    if (!manager_) return;
    manager_->stop();
    manager_->deleteLater();
    manager_ = nullptr;
}

void CustomViewBrelvoiPhone::onMotion(const QVector3D& g) {
    const bool shake = std::fabs(g.x()) > kShakeThreshold || std::fabs(g.y()) > kShakeThreshold ||
                       std::fabs(g.z()) > kShakeThreshold;
    if (!shake) return;
    if (mainOrScreenshot_ == 1)
        showBrelMenu(true, 0.5);
    else if (mainOrScreenshot_ == 2)
        btnMakeScreenshotPressedAction();
}

void CustomViewBrelvoiPhone::backMenuButtonAction() {
    Brelvo::shared().hideMenu();
}

void CustomViewBrelvoiPhone::btnMakeScreenshotPressedAction() {
    NotificationCenter::defaultCenter().post(notifications::kMainOrScreenshot, 0);
    Brelvo::shared().hideMenuSlider();
    if (!Brelvo::shared().isInit()) return;
    // Capturing the screen and opening the issue form arrive with the
    // screenshot and issue work; until then the buttons come back at once.
    if (activationMode() == 0) Brelvo::shared().showMenuSlider();
}

}  // namespace brelvo
