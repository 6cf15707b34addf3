#include "core/BrelvoComponents.h"

#include "core/Lifecycle.h"
#include "diagnostics/CrashCapture.h"
#include "diagnostics/CrashHandlers.h"
#include "diagnostics/CrashHandling.h"
#include "diagnostics/CrashHelper.h"
#include "diagnostics/CrashReportText.h"
#include "diagnostics/ErrorHandlerFile.h"
#include "diagnostics/GetSystemInfoBrelvo.h"
#include "diagnostics/LogHelper.h"
#include "platform/AppInfo.h"
#include "platform/CategoryHelper.h"
#include "platform/Dispatch.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/Screen.h"
#include "platform/ViewTags.h"
#include "platform/WindowLayer.h"
#include "protocol/AnalizeResponseBrelvo.h"
#include "protocol/Connectivity.h"
#include "protocol/JSONClientBrelvo.h"
#include "protocol/NetworkClientBrelvo.h"
#include "state/NotificationNames.h"
#include "state/SharedState.h"
#include "state/UserHelperBrelvo.h"
#include "ui/common/ViewTagNumbers.h"
#include "ui/session/ActivityBrelvo.h"
#include "ui/session/BVAlert.h"
#include "ui/session/BrelvoWindow.h"
#include "ui/session/CrashAlertStep.h"
#include "ui/session/CustomViewBrelvoiPhone.h"
#include "ui/session/LockScreenViewControllerBrelvo.h"
#include "ui/session/OverlayControl.h"
#include "ui/session/SessionController.h"
#include "ui/session/UserProfileViewController.h"

#include <QApplication>
#include <QDateTime>
#include <QImage>
#include <QLabel>
#include <QMutex>
#include <QPointer>
#include <QTimer>
#include <QVariantAnimation>

#include <mutex>

namespace brelvo {

namespace {

constexpr int kHideAnimationMs = 400;

DeviceIdentity deviceIdentity() {
    const GetSystemInfoBrelvo& info = GetSystemInfoBrelvo::shared();
    return {info.getlocaleOfDevice(), info.getAdvertisingIdentifier() + QLatin1Char('_') + info.getSystemFingerPrint(),
            info.getAppId()};
}

// The widget operations run where widgets live.
void assertGuiThread(const char* operation) {
    const bool onGuiThread = !QCoreApplication::instance() || dispatch::isMainThread();
    if (!onGuiThread) qCWarning(lcBrelvo) << operation << "called off the GUI thread";
    Q_ASSERT_X(onGuiThread, operation, "called off the GUI thread");
}

}  // namespace

BrelvoComponents& components() {
    static BrelvoComponents* instance = new BrelvoComponents;  // lives until the process ends
    return *instance;
}

BrelvoComponents::BrelvoComponents() {
    handDownContext();
    NotificationCenter::defaultCenter().addObserver(notifications::kCloseLockScreen,
                                                    [this](const Notification&) { removeLockScreen(); }, this);
    // A host that hides the floating buttons this way also stops the log tick.
    NotificationCenter::defaultCenter().addObserver(notifications::kHideMenuSlider,
                                                    [this](const Notification&) { enableTimer(false); }, this);
    // The analyser shows the lock screen and its alerts through the facade.
    AnalizeResponseBrelvo::shared().setPresenters(
        [this] { showLockScreen(); },
        [](const QString& title, const QString& message, const QString& button) {
            BVAlert::show(new BVAlert(title, message, button, QString()));
        });
    // Suspend and resume reports, and the 60-second empty log batch.
    Lifecycle::shared().attach();
}

// ---- start-up ------------------------------------------------------------

void BrelvoComponents::initializeBrelvo() {
    assertGuiThread("initializeBrelvo");
    if (isEmulator()) {
        UserHelperBrelvo::shared().setErrorMessage(QStringLiteral("Not supported emulators"));
        return;
    }
    {
        QMutexLocker lock(&mutex_);
        if (started_) {
            // A second start would stack a second overlay and a second log timer.
            qCWarning(lcBrelvo) << "the library is already started; the second start is ignored";
            return;
        }
        started_ = true;
    }
    // The crash path below has no widgets: the alert comes from here.
    crash::setHandlingHooks({[this] { validateAndSaveCriticalApplicationData(); },
                             crashalert::step([this] { return mainView(); })});
    installBrelErrorHandler();
    ActivityBrelvo::shared().trackActivity();

    if (GetSystemInfoBrelvo::shared().getAdvertisingIdentifier().isEmpty()) {
        UserHelperBrelvo::shared().setErrorMessage(QStringLiteral("Advertisement id is disabled. Please Turn it on"));
        showLockScreen();
    }
    if (SharedState::shared().isInit()) {
        timerLogs_ = new QTimer(qApp);
        timerLogs_->setInterval(5000);
        QObject::connect(timerLogs_, &QTimer::timeout, qApp, [this] { checkLogs(); });
        timerLogs_->start();
    }
    const QVariant key = appinfo::value(QStringLiteral("brelvo_project_id"));
    setApiKey(key.isValid() ? key.toString() : QString());
    if (!screen::window()) {
        // The overlay lives inside the host's main window: wait until one is shown.
        qCInfo(lcBrelvo) << "no window shown yet: the overlay is installed when the first window shows";
        struct ShowWatcher : QObject {
            BrelvoComponents* facade;
            explicit ShowWatcher(BrelvoComponents* f) : QObject(qApp), facade(f) { qApp->installEventFilter(this); }
            bool eventFilter(QObject* o, QEvent* e) override {
                if (e->type() == QEvent::Show && o->isWidgetType() && static_cast<QWidget*>(o)->isWindow()) {
                    QMetaObject::invokeMethod(qApp, [f = facade] {
                        f->addNewTopWindowToApplication();
                        f->installBrelvoLib();
                    }, Qt::QueuedConnection);
                    deleteLater();
                    qApp->removeEventFilter(this);
                }
                return false;
            }
        };
        waitingForWindow_ = new ShowWatcher(this);
        return;
    }
    addNewTopWindowToApplication();
    installBrelvoLib();
}

void BrelvoComponents::addNewTopWindowToApplication() {
    assertGuiThread("addNewTopWindowToApplication");
    if (overlay_) return;
    const QSize size = screen::bounds();
    auto* window = new BrelvoWindow(QRect(QPoint(0, 0), size), screen::window());
    window->setWindowLevel(WindowLayer::kAlertLevel);
    window->show();
    tags::setTag(window, BrelvoWindow::kTag);
    overlay_ = window;  // owned by the screen window, like an object tied to the application
}

void BrelvoComponents::installBrelvoLib() {
    assertGuiThread("installBrelvoLib");
    BrelvoWindow* window = getBVLibWindow();
    if (!window || mainView_) return;
    auto* panel = new CustomViewBrelvoiPhone(window);
    mainView_ = panel;
    panel->setGeometry(0, 0, screen::bounds().width(), window->frame().height());
    panel->show();
    window->makeKeyAndVisible();
    // The panel appears on the next turn of the event loop, after the device
    // has reported its orientation.
    QMetaObject::invokeMethod(panel, [panel] { panel->viewDidAppear(); }, Qt::QueuedConnection);
}

BrelvoWindow* BrelvoComponents::getBVLibWindow() const {
    assertGuiThread("getBVLibWindow");
    return overlay::window();
}

void BrelvoComponents::makeBVLibWindowKeyAndVisible() {
    assertGuiThread("makeBVLibWindowKeyAndVisible");
    overlay::makeKeyAndVisible();
}

void BrelvoComponents::makeAppWindowKeyAndVisible() {
    assertGuiThread("makeAppWindowKeyAndVisible");
    overlay::makeAppWindowKeyAndVisible();
}

// ---- host operations -----------------------------------------------------

bool BrelvoComponents::reachable() {
    return connectivity::reachable();
}

bool BrelvoComponents::canInstallBrelvoMenu() {
    const bool online = reachable();  // which also records "No internet connection"
    setIsInit(online);
    return online;
}

void BrelvoComponents::enableTimer(bool on) {
    dispatch::toMainAndWait([this, on] {
        if (on) {
            if (timerLogs_ && timerLogs_->isActive()) return;
            delete timerLogs_;
            timerLogs_ = new QTimer(qApp);
            timerLogs_->setInterval(5000);
            QObject::connect(timerLogs_, &QTimer::timeout, qApp, [this] { checkLogs(); });
            timerLogs_->start();
            return;
        }
        qCInfo(lcBrelvo) << "check timer is valid";
        if (timerLogs_ && timerLogs_->isActive()) {
            qCInfo(lcBrelvo) << "timer invalidate";
            timerLogs_->stop();
        }
        delete timerLogs_;
        timerLogs_ = nullptr;
    });
}

// ---- full-screen screens ---------------------------------------------------

void BrelvoComponents::showLockScreen() {
    auto show = [this] {
        if (!lockScreen_) lockScreen_ = new LockScreenViewControllerBrelvo;
        lockScreen_->setupWithErrorInfo();
        const QSize size = screen::bounds();
        QWidget* last = windows::last();
        if (!last) {
            qCWarning(lcBrelvo) << "no window to show the lock screen in";
            return;
        }
        windows::setCenter(last, QPointF(size.width() / 2.0, size.height() / 2.0));
        lockScreen_->setParent(last);
        lockScreen_->setGeometry(0, 0, size.width(), size.height() + 20);
        tags::setTag(lockScreen_, viewtags::kLockScreen);
        lockScreen_->show();
        lockScreen_->raise();
        windows::makeKeyAndVisible(last);
    };
    // At once on the GUI thread: "the last window" is the one that is last now.
    if (dispatch::isMainThread())
        show();
    else
        dispatch::toMain(show);
}

void BrelvoComponents::removeLockScreen() {
    // Any lock screen over the last window goes: the facade's own and the one
    // the session put there.
    dispatch::toMain([] {
        QWidget* last = windows::last();
        if (!last) return;
        const QSize size = screen::bounds();
        bool found = false;
        for (QObject* child : last->children()) {
            auto* view = qobject_cast<QWidget*>(child);
            if (!view || tags::tag(view) != viewtags::kLockScreen) continue;
            found = true;
            view->hide();
            view->setParent(nullptr);
        }
        if (!found) return;
        // The window slides one screen width to the left, as the closed menu sits.
        if (auto* layer = qobject_cast<WindowLayer*>(last)) {
            const QRect to = layer->frameWithCenter(QPointF(-size.width() / 2.0, size.height() / 2.0));
            layer->animateFrame(to, kHideAnimationMs, QEasingCurve::InOutQuad);
        }
    });
}

void BrelvoComponents::showUserProfileScreen() {
    dispatch::toMain([this] {
        // One profile screen for the facade. Nobody listens to its back button
        // here, so it takes itself off the window and waits for the next showing.
        if (!userProfileScreen_) userProfileScreen_ = new UserProfileViewController;
        UserProfileViewController* profile = userProfileScreen_;
        if (mainView_) mainView_->hideMainBtn();
        QWidget* last = windows::last();
        if (!last) {
            qCWarning(lcBrelvo) << "no window to show the profile screen in";
            return;
        }
        const QSize size = screen::bounds();
        windows::setCenter(last, QPointF(size.width() / 2.0, size.height() / 2.0));
        // A new parent hides it and show() below reads its values again; still
        // on this window from an earlier showing, it would not appear anew, so
        // its values are read here.
        if (profile->parentWidget() != last)
            profile->setParent(last);
        else if (profile->isVisible())
            profile->reloadData();
        profile->setGeometry(0, 0, size.width(), size.height() + 20);
        tags::setTag(profile, viewtags::kUserProfile);
        profile->show();
        profile->raise();
        windows::makeKeyAndVisible(last);
    });
}

void BrelvoComponents::removeUserProfileScreen() {
    dispatch::toMain([] {
        QWidget* last = windows::last();
        if (!last) return;
        for (QObject* child : last->children()) {
            auto* view = qobject_cast<QWidget*>(child);
            if (view && tags::tag(view) == viewtags::kUserProfile) {
                // Kept for the next showing, as the facade keeps one profile screen.
                view->hide();
                view->setParent(nullptr);
            }
        }
    });
}

void BrelvoComponents::showIpadSoomingSoonScreen() {
    assertGuiThread("showIpadSoomingSoonScreen");
    QWidget* first = windows::first();
    if (!first) return;
    first->show();
    auto* cover = new QLabel(first);
    cover->setGeometry(first->rect());
    cover->setScaledContents(true);
    cover->setPixmap(QPixmap::fromImage(getImageWithName(QStringLiteral("ipad.jpg"))));
    cover->show();
    windows::makeKeyAndVisible(first);
    overlay::hideMenuSlider();
}

QImage BrelvoComponents::getImageWithName(const QString& name) const {
    return CategoryHelper::shared().getImageWithName(name);
}

// ---- facts and small operations -------------------------------------------

bool BrelvoComponents::isEmulator() const {
    const QString model = GetSystemInfoBrelvo::shared().platform();
    return model == QLatin1String("i386") || model == QLatin1String("x86_64");
}

bool BrelvoComponents::isIpad() const {
    return screen::isTablet();
}

void BrelvoComponents::makeAppExit() {
    SharedState::shared().setDismissed(true);
}

bool BrelvoComponents::dismissed() const {
    return SharedState::shared().dismissed();
}

void BrelvoComponents::successButtonPressed() {
    makeAppExit();
}

void BrelvoComponents::BrelvoHandleException(const BrelvoException& exception) {
    crash::handleException(exception);
}

QStringList BrelvoComponents::backtrace() {
    return crash::currentBacktrace();
}

QString BrelvoComponents::signalDefenition(int signal) {
    return brelvo::signalDefenition(signal);
}

void BrelvoComponents::replaceBrelvoHandlerByUserHandler(int signal, const struct ::sigaction& action) {
    crash::replaceHandler(signal, action);
}

void BrelvoComponents::makeAlertAboutSigKill() {
    assertGuiThread("makeAlertAboutSigKill");
    crashalert::showAlert();
}

void BrelvoComponents::createPlist() {
    errorhandler::createPlist();
}

void BrelvoComponents::createMorivaFolderInDocumentsFolder() {
    errorhandler::createMorivaFolderInDocumentsFolder();
}

void BrelvoComponents::setAppStatus(int status) {
    errorhandler::setAppStatus(status);
}

void BrelvoComponents::validateAndSaveCriticalApplicationData() {}

QString BrelvoComponents::encodeToBase64String(const QString& text) const {
    return JSONClientBrelvo::shared().encodeToBase64String(text);
}

QRect BrelvoComponents::getRectByOrientation() const {
    const QSize size = screen::bounds();
    const int w = size.width(), h = size.height();
    switch (screen::orientation()) {
    case 2:
        return QRect(w, 0, w, h);
    case 3:
        return QRect(0, -h, w, h);
    case 4:
        return QRect(0, h, w, h);
    default:
        return QRect(-w, 0, w, h);
    }
}

bool BrelvoComponents::textViewShouldChangeText(QWidget* textView, const QString& replacement) {
    assertGuiThread("textViewShouldChangeText");
    if (replacement == QLatin1String("\n")) {
        if (textView) textView->clearFocus();
        return false;
    }
    return true;
}

QString BrelvoComponents::getPhoneState() const {
    return GetSystemInfoBrelvo::shared().getPhoneState();
}

CustomViewBrelvo* BrelvoComponents::mainView() const {
    return mainView_;
}

LockScreenViewControllerBrelvo* BrelvoComponents::lockScreen() const {
    return lockScreen_;
}

UserProfileViewController* BrelvoComponents::userProfileScreen() const {
    return userProfileScreen_;
}

// ---- properties ------------------------------------------------------------

void BrelvoComponents::setIsInit(bool on) {
    SharedState::shared().setIsInit(on);
}

void BrelvoComponents::setIsError(bool on) {
    SharedState::shared().setIsError(on);
}

double BrelvoComponents::brelTrigger() const {
    return SharedState::shared().brelTrigger();
}

void BrelvoComponents::setBrelTrigger(double value) {
    SharedState::shared().setBrelTrigger(value);
}

QString BrelvoComponents::apiKey() const {
    QMutexLocker lock(&mutex_);
    return apiKey_;
}

void BrelvoComponents::setApiKey(const QString& key) {
    {
        QMutexLocker lock(&mutex_);
        apiKey_ = key;
    }
    handDownContext();
}

// The components below the facade get what they need from this one value
// rather than reading the facade.
void BrelvoComponents::handDownContext() {
    const StartContext context{apiKey(), &deviceIdentity};
    JSONClientBrelvo::shared().configure(context);
    CrashHelper::shared().configure(context);
    SessionController::shared().configure(context);
}

}  // namespace brelvo
