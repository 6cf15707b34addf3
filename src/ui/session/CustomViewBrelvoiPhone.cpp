#include "ui/session/CustomViewBrelvoiPhone.h"

#include "platform/ActivityIndicator.h"
#include "platform/ImageButton.h"
#include "platform/Log.h"
#include "platform/MotionSource.h"
#include "platform/NotificationCenter.h"
#include "platform/SystemSound.h"
#include "platform/WindowLayer.h"
#include "protocol/Connectivity.h"
#include "state/BrelAuthenticationDM.h"
#include "state/NotificationNames.h"
#include "state/RecordValues.h"
#include "state/SharedState.h"
#include "state/UserHelperBrelvo.h"
#include "ui/common/Card.h"
#include "ui/common/InitialsPicture.h"
#include "ui/common/NavBar.h"
#include "ui/editor/ScreenshotMakerBrelvo.h"
#include "ui/images/BrelvoImageManager.h"
#include "ui/issue/FeedbackViewControllerBrelvo.h"
#include "ui/session/OverlayControl.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QPainter>
#include <QScreen>
#include <QTimer>

#include <cmath>

namespace brelvo {
namespace {

constexpr int kTopBarHeight = 64;


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

    offlineTimer_ = new QTimer(this);
    offlineTimer_->setInterval(kOfflineCheckIntervalMs);
    connect(offlineTimer_, &QTimer::timeout, this, &CustomViewBrelvo::showOfflineSign);
    offlineTimer_->start();

    authentication(QString());
}

CustomViewBrelvoiPhone::~CustomViewBrelvoiPhone() {
    stopMotion();
}

namespace {

// A white card with rounded corners behind a group of the menu's labels.
class Card : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        card::paint(p, QRectF(rect()));
    }
};

QLabel* label(QWidget* parent, const QString& style, const QString& text = QString()) {
    auto* l = new QLabel(text, parent);
    // Own colours and background: the host's style sheet must not restyle the menu.
    l->setStyleSheet(QStringLiteral("background: transparent; ") + style);
    return l;
}

}  // namespace

void CustomViewBrelvoiPhone::ensureMenuBuilt() {
    if (backButton_) return;
    // The screens made since start-up (the issue form, lock screens) stay above the menu.
    const QList<QWidget*> screens = findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    const QImage picture = userPicture_;
    createGUI();
    if (!picture.isNull()) userPicture_ = picture;
    // Views made under a panel that already shows stay hidden until shown.
    // Showing each new top view shows its children too, except those hidden
    // on purpose (the loading view).
    for (QWidget* made : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!screens.contains(made) && !made->testAttribute(Qt::WA_WState_ExplicitShowHide)) made->show();
    for (QWidget* screen : screens) screen->raise();
    showSessionInMenu();
    layoutMenu();
}

void CustomViewBrelvoiPhone::createGUI() {
    const QString darkBold = QStringLiteral("color: #3c3c3c; font: bold 15px;");
    const QString lightGray = QStringLiteral("color: #9aa3ae; font: 13px;");
    const QString caption = QStringLiteral("color: #9aa3ae; font: bold 10px;");
    const QString darkBoldSmall = QStringLiteral("color: #3c3c3c; font: bold 13px;");

    BrelvoImageManager& images = BrelvoImageManager::sharedInstance();
    // The logo carries the "sign" mark itself.
    auto* logo = label(this, QString());
    logo->setObjectName(QStringLiteral("logo"));
    const QImage logoImage = images.getImageForKey(QStringLiteral("logo"));
    const qreal dpr = logo->devicePixelRatioF();
    QPixmap logoPixmap =
        QPixmap::fromImage(logoImage).scaled(QSize(140, 26) * dpr, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    logoPixmap.setDevicePixelRatio(dpr);
    logo->setPixmap(logoPixmap);
    logo->setGeometry(16, 19, 140, 26);

    userButton_ = new ImageButton(this);
    userButton_->setObjectName(QStringLiteral("userButton"));
    userButton_->resize(36, 36);
    connect(userButton_, &ImageButton::clicked, this, &CustomViewBrelvoiPhone::btnUserPressed);
    userIcon_ = label(userButton_, QString());
    userIcon_->setGeometry(0, 0, 36, 36);
    userIcon_->setAttribute(Qt::WA_TransparentForMouseEvents);
    // The tester's initials until the session's picture, if it came already, replaces them.
    const std::optional<BrelPayloadDM> payload = BrelAuthenticationDM::shared().payload();
    const std::optional<BrelUserDM> user = payload ? payload->user() : std::nullopt;
    setUserPicture(initials::picture(user ? user->full_name() : QString(), 72));

    backButton_ = new ImageButton(this);
    backButton_->setObjectName(QStringLiteral("backToApplication"));
    backButton_->setImage(backImage());
    backButton_->resize(30, 30);
    backButton_->setToolTip(QStringLiteral("Back to the application"));
    connect(backButton_, &ImageButton::clicked, this, &CustomViewBrelvoiPhone::backMenuButtonAction);

    // The application under test.
    appBox_ = new Card(this);
    appIcon_ = label(appBox_, QString());
    appIcon_->setGeometry(12, 14, 56, 56);
    // The application's own icon where it has one.
    const QIcon appIcon = QGuiApplication::windowIcon();
    appIcon_->setPixmap(appIcon.isNull() ? QPixmap::fromImage(images.getImageForKey(QStringLiteral("sign")))
                                               .scaled(QSize(56, 56), Qt::KeepAspectRatio, Qt::SmoothTransformation)
                                         : appIcon.pixmap(QSize(56, 56)));
    appTitle_ = label(appBox_, darkBold);
    appTitle_->setObjectName(QStringLiteral("appTitle"));
    appCompany_ = label(appBox_, lightGray);
    appCompany_->setObjectName(QStringLiteral("appCompany"));
    auto* revisionCaption = label(appBox_, caption, QStringLiteral("REVISION"));
    revisionCaption->setGeometry(80, 56, 70, 14);
    appRevision_ = label(appBox_, QStringLiteral("color: #3c3c3c; font: 12px;"));
    appRevision_->setObjectName(QStringLiteral("appRevision"));

    // The running requirement, or the way to choose one.
    requirementBox_ = new Card(this);
    lblRevisionTitle_ = label(requirementBox_, caption, QStringLiteral("TEST"));
    lblRevisionTitle_->setObjectName(QStringLiteral("lblRevisionTitle"));
    lblRevisionBuild_ = label(requirementBox_, darkBoldSmall);
    lblRevisionBuild_->setObjectName(QStringLiteral("lblRevisionBuild"));
    lblPriority_ = label(requirementBox_, QStringLiteral("font: bold 11px;"));
    lblPriority_->setObjectName(QStringLiteral("lblPriority"));
    lblPriority_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    subjectCaption_ = label(requirementBox_, caption, QStringLiteral("Subject"));
    lblRequirementsCode_ = label(requirementBox_, darkBoldSmall);
    lblRequirementsCode_->setObjectName(QStringLiteral("lblRequirementsCode"));
    lblRequirementsCode_->setWordWrap(true);
    lblRevisionExpRes_ = label(requirementBox_, caption, QStringLiteral("Expected results"));
    lblREvisionExpResultText_ = label(requirementBox_, QStringLiteral("color: #3c3c3c; font: 12px;"));
    lblREvisionExpResultText_->setObjectName(QStringLiteral("lblREvisionExpResultText"));
    lblREvisionExpResultText_->setWordWrap(true);
    auto* choose = new QPushButton(requirementBox_);
    choose->setObjectName(QStringLiteral("btnRequirementChoose"));
    choose->setFlat(true);
    choose->setStyleSheet(QStringLiteral("QPushButton { background: transparent; border: none; }"));
    connect(choose, &QPushButton::clicked, this, &CustomViewBrelvoiPhone::btnRequirementsPressed);
    btnRequirementChoose_ = choose;
    auto* chooseTest = new QPushButton(QStringLiteral("CHOOSE TEST"), requirementBox_);
    chooseTest->setObjectName(QStringLiteral("btnRequirements"));
    chooseTest->setStyleSheet(QStringLiteral(
        "QPushButton { background: white; color: #808080; font: bold 14px; border: 1px solid #d3d3d3; border-radius: 6px; }"
        "QPushButton:pressed { color: #d3d3d3; }"));
    connect(chooseTest, &QPushButton::clicked, this, &CustomViewBrelvoiPhone::btnRequirementsPressed);
    btnRequirements_ = chooseTest;
    activeRequirementElements_ = {lblRevisionBuild_, lblPriority_, subjectCaption_, lblRequirementsCode_,
                                  lblRevisionExpRes_, lblREvisionExpResultText_, choose};

    postIssueButton_ = new QPushButton(QStringLiteral("Post issue"), this);
    postIssueButton_->setObjectName(QStringLiteral("btnPostIssue"));
    postIssueButton_->setStyleSheet(QStringLiteral(
        "QPushButton { background: rgb(32, 144, 192); color: white; font: bold 16px; border: none; border-radius: 10px; }"
        "QPushButton:pressed { background: rgb(24, 112, 150); }"));
    connect(postIssueButton_, &QPushButton::clicked, this, &CustomViewBrelvo::btnPostIssuePressed);

    // "loading..." over the menu while a request runs.
    loadingView_ = new QWidget(this);
    loadingView_->setObjectName(QStringLiteral("loadingView"));
    loadingView_->setStyleSheet(QStringLiteral("background: rgba(60, 60, 60, 220); border-radius: 10px;"));
    loadingView_->setAttribute(Qt::WA_StyledBackground);
    loadingView_->resize(120, 100);
    auto* spinner = new ActivityIndicator(ActivityIndicator::LargeWhite, loadingView_);
    spinner->move(60 - spinner->width() / 2, 22);
    spinner->startAnimating();
    auto* loadingText = label(loadingView_, QStringLiteral("color: white; font: 13px;"), QStringLiteral("loading..."));
    loadingText->setAlignment(Qt::AlignCenter);
    loadingText->setGeometry(0, 68, 120, 20);
    loadingView_->hide();
}

void CustomViewBrelvoiPhone::btnUserPressed() {
    makeProfileRequest();
}

void CustomViewBrelvoiPhone::btnRequirementsPressed() {
    // Being offline also records "No internet connection".
    if (SharedState::shared().isError() || !connectivity::reachable()) return;
    getRequirements();
}

void CustomViewBrelvoiPhone::registerObservers() {
    NotificationCenter& center = NotificationCenter::defaultCenter();
    // The menu's own notifications act on the next turn of the event loop,
    // whichever thread posts them.
    const auto later = Qt::QueuedConnection;
    center.addObserver(notifications::kDeviceOrientationDidChange, this, [this](const Notification&) { setMyOrientation(2); });
    center.addObserver(notifications::kShowMenuSlider, this, [this](const Notification&) { show(); }, later);
    center.addObserver(notifications::kOpenMenu, this, [this](const Notification&) { openMenu(); }, later);
    center.addObserver(notifications::kCloseMenu, this, [this](const Notification&) { closeMenu(); }, later);
    center.addObserver(notifications::kCloseMenuWithoutDuration, this,
                       [this](const Notification&) { closeMenuWithoutDuration(); }, later);
    center.addObserver(notifications::kMakeScreenshot, this,
                       [this](const Notification&) { btnMakeScreenshotPressedAction(); }, later);
    center.addObserver(notifications::kActivationMode, this,
                       [this](const Notification& n) { handleActivationMode(n.object); }, later);
    center.addObserver(notifications::kAuthentication, this, [this](const Notification&) { authentication(QString()); },
                       later);
    center.addObserver(notifications::kUpdateUserImage, this,
                       [this](const Notification&) { setupImageForUserButtonFromResponse(); }, later);
    center.addObserver(notifications::kCallPostIssue, this, [this](const Notification&) { btnPostIssuePressed(); },
                       later);
}

void CustomViewBrelvoiPhone::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), card::kPage);
    painter.fillRect(QRect(0, 0, width(), kTopBarHeight), NavBar::kColour);
}

void CustomViewBrelvoiPhone::resizeEvent(QResizeEvent* event) {
    CustomViewBrelvo::resizeEvent(event);
    layoutMenu();
}

void CustomViewBrelvoiPhone::layoutMenu() {
    if (!backButton_) return;
    const int w = width();
    backButton_->move(w - backButton_->width() - 14, 21);
    userButton_->move(w - backButton_->width() - 14 - 12 - userButton_->width(), 18);
    appBox_->setGeometry(12, kTopBarHeight + 14, w - 24, 84);
    appTitle_->setGeometry(80, 12, w - 24 - 92, 20);
    appCompany_->setGeometry(80, 33, w - 24 - 92, 18);
    appRevision_->setGeometry(152, 55, w - 24 - 164, 16);
    const int boxWidth = w - 24;
    requirementBox_->setGeometry(12, kTopBarHeight + 112, boxWidth, 170);
    lblRevisionTitle_->setGeometry(14, 12, 70, 14);
    lblRevisionBuild_->setGeometry(86, 10, 80, 18);
    lblPriority_->setGeometry(boxWidth - 114, 10, 100, 18);
    subjectCaption_->setGeometry(14, 36, 100, 14);
    lblRequirementsCode_->setGeometry(14, 52, boxWidth - 28, 36);
    lblRevisionExpRes_->setGeometry(14, 96, 140, 14);
    lblREvisionExpResultText_->setGeometry(14, 112, boxWidth - 28, 48);
    btnRequirementChoose_->setGeometry(0, 0, boxWidth, 170);
    btnRequirements_->setGeometry((boxWidth - 180) / 2, 70, 180, 44);
    postIssueButton_->setGeometry(12, kTopBarHeight + 112 + 170 + 16, boxWidth, 48);
    loadingView_->move((w - loadingView_->width()) / 2, (height() - loadingView_->height()) / 2);
}

void CustomViewBrelvoiPhone::handleActivationMode(const QVariant& mode) {
    if (!records::isNumber(mode)) return;
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
            notifications::kMainOrScreenshot, this, [this](const Notification& n) {
                if (records::isNumber(n.object)) mainOrScreenshot_ = n.object.toInt();
            });
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
    overlay::hideMenu();
}

void CustomViewBrelvoiPhone::btnMakeScreenshotPressedAction() {
    NotificationCenter::defaultCenter().post(notifications::kMainOrScreenshot, 0);
    // Hidden at once, so that the floating buttons are not in the picture.
    overlay::hideMenuSlider();
    if (!SharedState::shared().isInit()) {
        // No session to report with; in slider mode the buttons must come back.
        if (activationMode() == 0) overlay::showMenuSlider();
        return;
    }
    systemsound::play(systemsound::kShutterSoundId);
    const QImage screenshot = ScreenshotMakerBrelvo::shared().screenshotMaking(this);
    UserHelperBrelvo::shared().setLastImage(screenshot);
    UserHelperBrelvo::shared().setCustomView(this);
    if (activationMode() == 0) overlay::showMenuSlider();
    showBrelMenu(true, 0.5);
    setStateForAnimate(true);

    initFeedbackViewController();
    FeedbackViewControllerBrelvo* form = issueForm();
    if (!form) return;
    presentIssueForm();
    form->btnMenuScreenshotsPressed();  // the preview of the new picture, unless the list is full
}

}  // namespace brelvo
