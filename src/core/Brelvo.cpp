#include <brelvo/Brelvo.h>

#include "core/Lifecycle.h"
#include "diagnostics/CrashCapture.h"
#include "diagnostics/CrashHandlers.h"
#include "diagnostics/CrashHandling.h"
#include "diagnostics/CrashHelper.h"
#include "diagnostics/CrashReportText.h"
#include "diagnostics/ErrorHandlerFile.h"
#include "diagnostics/GetSystemInfoBrelvo.h"
#include "diagnostics/LogHelper.h"
#include "diagnostics/SignalStacks.h"
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

// The facade's widget operations run where widgets live.
void assertGuiThread(const char* operation) {
    const bool onGuiThread = !QCoreApplication::instance() || dispatch::isMainThread();
    if (!onGuiThread) qCWarning(lcBrelvo) << operation << "called off the GUI thread";
    Q_ASSERT_X(onGuiThread, operation, "called off the GUI thread");
}

}  // namespace

struct Brelvo::Impl {
    mutable QMutex mutex;  // the API key is read from service threads too
    QString apiKey;
    bool started = false;

    QPointer<BrelvoWindow> overlay;
    QPointer<CustomViewBrelvoiPhone> mainView;
    QPointer<LockScreenViewControllerBrelvo> lockScreen;
    QPointer<UserProfileViewController> userProfileScreen;
    QTimer* timerLogs = nullptr;
    QObject* waitingForWindow = nullptr;
};

Brelvo& Brelvo::shared() {
    static Brelvo* instance = new Brelvo;  // lives until the process ends
    return *instance;
}

Brelvo::Brelvo() : d(std::make_unique<Impl>()) {
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

Brelvo::~Brelvo() = default;

// ---- start-up ------------------------------------------------------------

void Brelvo::initialize() {
    initialize(0);
}

void Brelvo::initialize(int lockingMode) {
    SharedState& state = SharedState::shared();
    state.setLockingMode(lockingMode);
    state.setAutoUpdate(true);
    state.setIsInit(true);
    initializeBrelvo();
}

void Brelvo::initializeWithOptions(int options) {
    SharedState& state = SharedState::shared();
    state.setLockingMode((options & LockingMode) ? 1 : 0);
    state.setAutoUpdate(true);
    state.setIsInit(true);
    initializeBrelvo();
    const int mode = (options & ShakeActivation) ? 1 : (options & ManualActivation) ? 2 : 0;
    NotificationCenter::defaultCenter().post(notifications::kActivationMode, mode);
}

void Brelvo::initializeBrelvo() {
    assertGuiThread("initializeBrelvo");
    if (isEmulator()) {
        UserHelperBrelvo::shared().setErrorMessage(QStringLiteral("Not supported emulators"));
        return;
    }
    {
        QMutexLocker lock(&d->mutex);
        if (d->started) {
            // A second start would stack a second overlay and a second log timer.
            qCWarning(lcBrelvo) << "the library is already started; the second start is ignored";
            return;
        }
        d->started = true;
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
    if (isInit()) {
        d->timerLogs = new QTimer(qApp);
        d->timerLogs->setInterval(5000);
        QObject::connect(d->timerLogs, &QTimer::timeout, qApp, [this] { checkLogs(); });
        d->timerLogs->start();
    }
    const QVariant key = appinfo::value(QStringLiteral("brelvo_project_id"));
    setApiKey(key.isValid() ? key.toString() : QString());
    if (!screen::window()) {
        // The overlay lives inside the host's main window: wait until one is shown.
        qCInfo(lcBrelvo) << "no window shown yet: the overlay is installed when the first window shows";
        struct ShowWatcher : QObject {
            Brelvo* facade;
            explicit ShowWatcher(Brelvo* f) : QObject(qApp), facade(f) { qApp->installEventFilter(this); }
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
        d->waitingForWindow = new ShowWatcher(this);
        return;
    }
    addNewTopWindowToApplication();
    installBrelvoLib();
}

void Brelvo::addNewTopWindowToApplication() {
    assertGuiThread("addNewTopWindowToApplication");
    if (d->overlay) return;
    const QSize size = screen::bounds();
    auto* window = new BrelvoWindow(QRect(QPoint(0, 0), size), screen::window());
    window->setWindowLevel(WindowLayer::kAlertLevel);
    window->show();
    tags::setTag(window, BrelvoWindow::kTag);
    d->overlay = window;  // owned by the screen window, like an object tied to the application
}

void Brelvo::installBrelvoLib() {
    assertGuiThread("installBrelvoLib");
    BrelvoWindow* window = getBVLibWindow();
    if (!window || d->mainView) return;
    auto* panel = new CustomViewBrelvoiPhone(window);
    d->mainView = panel;
    panel->setGeometry(0, 0, screen::bounds().width(), window->frame().height());
    panel->show();
    window->makeKeyAndVisible();
    // The panel appears on the next turn of the event loop, after the device
    // has reported its orientation.
    QMetaObject::invokeMethod(panel, [panel] { panel->viewDidAppear(); }, Qt::QueuedConnection);
}

BrelvoWindow* Brelvo::getBVLibWindow() const {
    assertGuiThread("getBVLibWindow");
    return overlay::window();
}

void Brelvo::makeBVLibWindowKeyAndVisible() {
    assertGuiThread("makeBVLibWindowKeyAndVisible");
    overlay::makeKeyAndVisible();
}

void Brelvo::makeAppWindowKeyAndVisible() {
    assertGuiThread("makeAppWindowKeyAndVisible");
    overlay::makeAppWindowKeyAndVisible();
}

// ---- host operations -----------------------------------------------------

void Brelvo::showMenu() {
    overlay::showMenu();
}

void Brelvo::hideMenu() {
    overlay::hideMenu();
}

void Brelvo::showMenuSlider() {
    overlay::showMenuSlider();
}

void Brelvo::hideMenuSlider() {
    overlay::hideMenuSlider();
}

void Brelvo::makeScreenshot() {
    NotificationCenter::defaultCenter().post(notifications::kMakeScreenshot);
}

bool Brelvo::reachable() {
    return connectivity::reachable();
}

bool Brelvo::isOnline() {
    return connectivity::reachable();  // which also records "No internet connection"
}

bool Brelvo::canInstallBrelvoMenu() {
    const bool online = isOnline();
    setIsInit(online);
    return online;
}

void Brelvo::BVLog(const QString& text, const QVariant& level) {
    QVariantMap entry{{QStringLiteral("log"), text},
                      {QStringLiteral("ts"), QDateTime::currentSecsSinceEpoch()},
                      {QStringLiteral("token"), NetworkClientBrelvo::shared().access_token()}};
    if (level.isValid()) entry.insert(QStringLiteral("level"), level);
    LogHelper::shared().enqueue(std::move(entry));
}

void Brelvo::BVLog(const QString& text, int level) {
    static const QString names[] = {QStringLiteral("error"), QStringLiteral("warning"), QStringLiteral("info")};
    BVLog(text, level >= 0 && level <= 2 ? QVariant(names[level]) : QVariant());
}

void Brelvo::enableTimer(bool on) {
    dispatch::toMainAndWait([this, on] {
        if (on) {
            if (d->timerLogs && d->timerLogs->isActive()) return;
            delete d->timerLogs;
            d->timerLogs = new QTimer(qApp);
            d->timerLogs->setInterval(5000);
            QObject::connect(d->timerLogs, &QTimer::timeout, qApp, [this] { checkLogs(); });
            d->timerLogs->start();
            return;
        }
        qCInfo(lcBrelvo) << "check timer is valid";
        if (d->timerLogs && d->timerLogs->isActive()) {
            qCInfo(lcBrelvo) << "timer invalidate";
            d->timerLogs->stop();
        }
        delete d->timerLogs;
        d->timerLogs = nullptr;
    });
}

// ---- full-screen screens ---------------------------------------------------

void Brelvo::showLockScreen() {
    auto show = [this] {
        if (!d->lockScreen) d->lockScreen = new LockScreenViewControllerBrelvo;
        d->lockScreen->setupWithErrorInfo();
        const QSize size = screen::bounds();
        QWidget* last = windows::last();
        if (!last) {
            qCWarning(lcBrelvo) << "no window to show the lock screen in";
            return;
        }
        windows::setCenter(last, QPointF(size.width() / 2.0, size.height() / 2.0));
        d->lockScreen->setParent(last);
        d->lockScreen->setGeometry(0, 0, size.width(), size.height() + 20);
        tags::setTag(d->lockScreen, viewtags::kLockScreen);
        d->lockScreen->show();
        d->lockScreen->raise();
        windows::makeKeyAndVisible(last);
    };
    // At once on the GUI thread: "the last window" is the one that is last now.
    if (dispatch::isMainThread())
        show();
    else
        dispatch::toMain(show);
}

void Brelvo::removeLockScreen() {
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

void Brelvo::showUserProfileScreen() {
    dispatch::toMain([this] {
        // One profile screen for the facade. Nobody listens to its back button
        // here, so it takes itself off the window and waits for the next showing.
        if (!d->userProfileScreen) d->userProfileScreen = new UserProfileViewController;
        UserProfileViewController* profile = d->userProfileScreen;
        if (d->mainView) d->mainView->hideMainBtn();
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

void Brelvo::removeUserProfileScreen() {
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

void Brelvo::showIpadSoomingSoonScreen() {
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
    hideMenuSlider();
}

QImage Brelvo::getImageWithName(const QString& name) const {
    return CategoryHelper::shared().getImageWithName(name);
}

// ---- facts and small operations -------------------------------------------

bool Brelvo::isEmulator() const {
    const QString model = GetSystemInfoBrelvo::shared().platform();
    return model == QLatin1String("i386") || model == QLatin1String("x86_64");
}

bool Brelvo::isIpad() const {
    return screen::isTablet();
}

void Brelvo::makeAppExit() {
    SharedState::shared().setDismissed(true);
}

bool Brelvo::dismissed() const {
    return SharedState::shared().dismissed();
}

void Brelvo::successButtonPressed() {
    makeAppExit();
}

void Brelvo::BrelvoHandleException(const BrelvoException& exception) {
    crash::handleException(exception);
}

QStringList Brelvo::backtrace() {
    return crash::currentBacktrace();
}

void Brelvo::prepareThreadForCrashReports() {
    crash::prepareThread();
}

QString Brelvo::signalDefenition(int signal) {
    return brelvo::signalDefenition(signal);
}

void Brelvo::replaceBrelvoHandlerByUserHandler(int signal, const struct ::sigaction& action) {
    crash::replaceHandler(signal, action);
}

void Brelvo::makeAlertAboutSigKill() {
    assertGuiThread("makeAlertAboutSigKill");
    crashalert::showAlert();
}

void Brelvo::createPlist() {
    errorhandler::createPlist();
}

void Brelvo::createMorivaFolderInDocumentsFolder() {
    errorhandler::createMorivaFolderInDocumentsFolder();
}

void Brelvo::setAppStatus(int status) {
    errorhandler::setAppStatus(status);
}

void Brelvo::validateAndSaveCriticalApplicationData() {}

QString Brelvo::encodeToBase64String(const QString& text) const {
    return JSONClientBrelvo::shared().encodeToBase64String(text);
}

QRect Brelvo::getRectByOrientation() const {
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

bool Brelvo::textViewShouldChangeText(QWidget* textView, const QString& replacement) {
    assertGuiThread("textViewShouldChangeText");
    if (replacement == QLatin1String("\n")) {
        if (textView) textView->clearFocus();
        return false;
    }
    return true;
}

QString Brelvo::getPhoneState() const {
    return GetSystemInfoBrelvo::shared().getPhoneState();
}

CustomViewBrelvo* Brelvo::mainView() const {
    return d->mainView;
}

LockScreenViewControllerBrelvo* Brelvo::lockScreen() const {
    return d->lockScreen;
}

UserProfileViewController* Brelvo::userProfileScreen() const {
    return d->userProfileScreen;
}

// ---- properties ------------------------------------------------------------

#define BRELVO_PROPERTY(Type, getter, setter)                      \
    Type Brelvo::getter() const { return SharedState::shared().getter(); } \
    void Brelvo::setter(Type value) { SharedState::shared().setter(value); }

BRELVO_PROPERTY(int, lockingMode, setLockingMode)
BRELVO_PROPERTY(bool, autoUpdate, setAutoUpdate)
BRELVO_PROPERTY(bool, isInit, setIsInit)
BRELVO_PROPERTY(bool, isOpenGL, setIsOpenGL)
BRELVO_PROPERTY(bool, offlineMode, setOfflineMode)
BRELVO_PROPERTY(double, brelTrigger, setBrelTrigger)
BRELVO_PROPERTY(bool, isError, setIsError)
#undef BRELVO_PROPERTY

QString Brelvo::apiKey() const {
    QMutexLocker lock(&d->mutex);
    return d->apiKey;
}

void Brelvo::setApiKey(const QString& key) {
    {
        QMutexLocker lock(&d->mutex);
        d->apiKey = key;
    }
    handDownContext();
}

// The components below the facade get what they need from this one value
// rather than reading the facade.
void Brelvo::handDownContext() {
    const StartContext context{apiKey(), &deviceIdentity};
    JSONClientBrelvo::shared().configure(context);
    CrashHelper::shared().configure(context);
    SessionController::shared().configure(context);
}

bool Brelvo::isHide() const {
    return SharedState::shared().isHide();
}

}  // namespace brelvo
