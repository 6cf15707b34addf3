#include "ui/session/LockScreenViewControllerBrelvo.h"

#include "platform/ActivityIndicator.h"
#include "platform/Autoresizing.h"
#include "platform/Dispatch.h"
#include "platform/ImageButton.h"
#include "platform/LibraryFont.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/Screen.h"
#include "platform/UrlOpener.h"
#include "platform/ViewTags.h"
#include "state/LibrarySettings.h"
#include "state/NotificationNames.h"
#include "state/UserHelperBrelvo.h"
#include "ui/common/PictureView.h"
#include "ui/common/Texts.h"
#include "ui/images/BrelvoImageManager.h"
#include "ui/session/SessionController.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPushButton>
#include <QTextEdit>
#include <QUrl>

#include <algorithm>

namespace brelvo {
namespace {

const QString kNoResponse = QStringLiteral("No response from server");

QImage atlasImage(const QString& key) {
    return BrelvoImageManager::sharedInstance().getImageForKey(key);
}

// Only the pictures that show are cut: most lock screens hide one of the two.
std::function<QImage()> atlasSource(const QString& key) {
    return [key] { return atlasImage(key); };
}

struct Frame {
    int top, width, height;
};

// The refresh button's place in the top right corner: its margins from the
// top and right edges and its side.
struct Corner {
    int top, right, side;
};

// Phone and tablet layouts, in points; every element but the refresh button
// is centred horizontally.
struct Layout {
    Frame logo, refusal, connection, message, action;
    Corner refresh;
    int messageFontSize;
};

const Layout& layoutFor(bool tablet) {
    static const Layout phone{{50, 140, 20},  {105, 100, 130}, {125, 100, 100}, {260, 208, 160},
                              {320, 150, 29}, {10, 10, 30},                     13};
    static const Layout pad{{172, 341, 56},  {284, 150, 150}, {284, 260, 242}, {544, 341, 100},
                            {678, 276, 65},  {50, 28, 40},                      16};
    return tablet ? pad : phone;
}

}  // namespace

const QString LockScreenViewControllerBrelvo::kLoadingMessage = texts::loadingMessage();

LockScreenViewControllerBrelvo::LockScreenViewControllerBrelvo(QWidget* parent) : QWidget(parent) {
    libraryfont::adopt(this);  // shown over host windows too
    createGUI();
    // Back in the foreground, a locked application tries again by itself.
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        // The loading variant already stands for an authentication in progress.
        if (state == Qt::ApplicationActive && isVisible() && tags::tag(this) != kLoadingTag) refresh();
    });
}

LockScreenViewControllerBrelvo::~LockScreenViewControllerBrelvo() {
    if (identityAlert_) identityAlert_->setBvAlertDelegate(nullptr);
}

void LockScreenViewControllerBrelvo::createGUI() {
    const bool tablet = screen::isTablet();
    const Layout& l = layoutFor(tablet);

    auto* logo = new PictureView(this);
    logo->setImageSource(atlasSource(QStringLiteral("logo")));
    logo_ = logo;

    auto* locks = new PictureView(this);
    locks->setImageSource(atlasSource(QStringLiteral("error_img@2x")));
    locksImage_ = locks;

    auto* connection = new PictureView(this);
    connection->setImageSource(atlasSource(QStringLiteral("connection_error")));
    connectionErrorImage_ = connection;

    errorMessage_ = new QTextEdit(this);
    errorMessage_->setReadOnly(true);
    errorMessage_->setFrameShape(QFrame::NoFrame);
    errorMessage_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    errorMessage_->setFocusPolicy(Qt::NoFocus);
    errorMessage_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Every property a host's style sheet might give a text view is set here.
    errorMessage_->setStyleSheet(QStringLiteral("QTextEdit { color: rgb(170, 170, 170); background: transparent;"
                                                " border: none; padding: 0px; margin: 0px;"
                                                " font-weight: bold; font-size: %1px; }")
                                     .arg(l.messageFontSize));
    errorMessage_->viewport()->setAutoFillBackground(false);
    QTextOption centred(Qt::AlignHCenter);
    centred.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    errorMessage_->document()->setDefaultTextOption(centred);

    actionButton_ = new QPushButton(this);
    actionButton_->setCursor(Qt::PointingHandCursor);
    actionButton_->setFocusPolicy(Qt::NoFocus);
    actionButton_->setStyleSheet(QStringLiteral(
        "QPushButton { background-color: %1; color: %2; border: none; border-radius: 6px;"
        " font-weight: bold; font-size: 14px; }"
        "QPushButton:pressed { background-color: %3; }")
                                     .arg(kActionBackground.name(), kActionText.name(),
                                          kActionBackground.darker(125).name()));
    actionButton_->hide();
    connect(actionButton_, &QPushButton::clicked, this, &LockScreenViewControllerBrelvo::actionBtnPressed);

    refreshButton_ = new ImageButton(this);
    refreshButton_->setStyleSheet(QStringLiteral("background: transparent;"));
    refreshButton_->hide();
    connect(refreshButton_, &ImageButton::clicked, this, &LockScreenViewControllerBrelvo::refresh);

    layoutElements();
}

void LockScreenViewControllerBrelvo::layoutElements() {
    const Layout& l = layoutFor(screen::isTablet());
    const int w = width();
    auto place = [w](QWidget* view, const Frame& f) { view->setGeometry((w - f.width) / 2, f.top, f.width, f.height); };
    place(logo_, l.logo);
    place(locksImage_, l.refusal);
    place(connectionErrorImage_, l.connection);
    // A long message scrolls above the action button instead of running under it.
    Frame message = l.message;
    if (!actionButton_->isHidden()) message.height = std::min(message.height, l.action.top - l.message.top - 8);
    place(errorMessage_, message);
    place(actionButton_, l.action);
    refreshButton_->setGeometry(w - l.refresh.right - l.refresh.side, l.refresh.top, l.refresh.side, l.refresh.side);
    // The loading screen has no action button: its activity indicator takes that place.
    if (spinner_)
        spinner_->move((w - spinner_->width()) / 2, l.action.top + (l.action.height - spinner_->height()) / 2);
    if (squarePicture_) setupImageWithSquareFrame();
}

void LockScreenViewControllerBrelvo::resizeEvent(QResizeEvent*) {
    layoutElements();
}

void LockScreenViewControllerBrelvo::paintEvent(QPaintEvent*) {
    QPainter(this).fillRect(rect(), QColor(40, 40, 40));
}

void LockScreenViewControllerBrelvo::setupWithErrorInfo() {
    const ErrorInfo info = UserHelperBrelvo::shared().errorInfo();
    errorMessage_->setPlainText(info.errorMessage());

    const bool connectionProblem = info.errorMessage() == kNoResponse;
    locksImage_->setVisible(!connectionProblem);
    connectionErrorImage_->setVisible(connectionProblem);

    if (!info.buttonTitle().isEmpty()) {
        actionButton_->setText(info.buttonTitle());
        actionButton_->show();
    } else {
        actionButton_->hide();
    }
    refreshButton_->setVisible(info.showRefreshButton());
    // Its icon is cut when it first shows.
    if (info.showRefreshButton() && refreshButton_->image().isNull())
        refreshButton_->setImage(atlasImage(QStringLiteral("refresh")));
    layoutElements();
}

void LockScreenViewControllerBrelvo::setupImageWithName(const QString& name, bool squareFrame) {
    static_cast<PictureView*>(locksImage_)->setImageSource(atlasSource(name));
    squarePicture_ = squareFrame;
    if (squareFrame) setupImageWithSquareFrame();
}

void LockScreenViewControllerBrelvo::setupImageWithSquareFrame() {
    // The square sits centred where the refusal picture's frame is.
    const Frame& f = layoutFor(screen::isTablet()).refusal;
    const int side = std::min(f.width, f.height);
    locksImage_->setGeometry((width() - side) / 2, f.top + (f.height - side) / 2, side, side);
}

void LockScreenViewControllerBrelvo::refresh() {
    NotificationCenter::defaultCenter().post(notifications::kAuthentication);
}

void LockScreenViewControllerBrelvo::actionBtnPressed() {
    const QString url = UserHelperBrelvo::shared().errorInfo().url();
    // The application behind the address is known by its scheme: everything
    // before the first "//".
    const qsizetype cut = url.indexOf(QStringLiteral("//"));
    if (cut < 0)
        qCInfo(lcBrelvo).noquote() << "the action address has no \"//\"; checking it as a whole:" << url;
    const QString prefix = (cut < 0 ? url : url.left(cut)) + QStringLiteral("//");
    if (urls::canOpenURL(QUrl(prefix)))
        urls::openURL(QUrl(url));
    else
        showAlertIdentityNotFound();
}

void LockScreenViewControllerBrelvo::showAlertIdentityNotFound() {
    QPointer<LockScreenViewControllerBrelvo> self(this);
    auto work = [self] {
        if (!self) return;
        auto* alert = new BVAlert(texts::installAlertTitle(), texts::installAlertMessage(), texts::installAlertNo(),
                                  texts::installAlertYes());
        alert->setBvAlertDelegate(self);
        self->identityAlert_ = alert;
        BVAlert::show(alert);
    };
    if (dispatch::isMainThread())
        work();
    else
        dispatch::toMain(work);
}

void LockScreenViewControllerBrelvo::successButtonPressed() {
    const QString install = LibrarySettings::sharedInstance().installURLScheme();
    qCInfo(lcBrelvo).noquote() << QStringLiteral("sceme: %1").arg(install);
    if (!install.isEmpty())
        urls::openURL(QUrl(install));
    else
        makeProfileRequest();
}

void LockScreenViewControllerBrelvo::makeProfileRequest() {
    // A refused profile shows its answer here; a good one opens its install address.
    SessionController::shared().requestProfile(this, [this] { setupWithErrorInfo(); });
}

bool LockScreenViewControllerBrelvo::shouldAutorotate() const {
    return UserHelperBrelvo::shared().isOpen();
}

LockScreenViewControllerBrelvo* LockScreenViewControllerBrelvo::showOver(QWidget* view, int tag) {
    if (!view) return nullptr;
    auto* lock = new LockScreenViewControllerBrelvo(view);
    lock->setupWithErrorInfo();
    const QSize size = screen::bounds().isValid() ? screen::bounds() : view->size();
    lock->setGeometry(0, 0, size.width(), size.height());
    autoresizing::setMask(lock, autoresizing::FlexibleWidth | autoresizing::FlexibleHeight);
    tags::setTag(lock, tag);
    lock->show();
    lock->raise();
    return lock;
}

LockScreenViewControllerBrelvo* LockScreenViewControllerBrelvo::showLoadingOver(QWidget* view) {
    UserHelperBrelvo::shared().setErrorMessage(kLoadingMessage);
    LockScreenViewControllerBrelvo* lock = showOver(view, kLoadingTag);
    if (!lock) return nullptr;
    lock->setupImageWithName(QStringLiteral("autorisation_logo"), true);
    lock->spinner_ = new ActivityIndicator(ActivityIndicator::LargeWhite, lock);
    lock->spinner_->setAttribute(Qt::WA_TransparentForMouseEvents);
    lock->spinner_->startAnimating();
    lock->spinner_->show();
    lock->layoutElements();
    return lock;
}

}  // namespace brelvo
