// The public facade: each call hands over to the component that does the work.
#include <brelvo/Brelvo.h>

#include "core/BrelvoComponents.h"
#include "core/Lifecycle.h"
#include "diagnostics/LogHelper.h"
#include "diagnostics/SignalStacks.h"
#include "platform/AppInfo.h"
#include "platform/HostEvents.h"
#include "platform/NotificationCenter.h"
#include "protocol/Connectivity.h"
#include "protocol/NetworkClientBrelvo.h"
#include "state/NotificationNames.h"
#include "state/SharedState.h"
#include "ui/session/OverlayControl.h"

#include <QDateTime>

namespace brelvo {

Brelvo& Brelvo::shared() {
    static Brelvo* instance = new Brelvo;  // lives until the process ends
    return *instance;
}

Brelvo::Brelvo() {
    components();  // the observers and the hand-down of the start-up context
}

Brelvo::~Brelvo() = default;

BrelvoEvents& Brelvo::events() {
    return hostevents::object();
}

// ---- start-up ------------------------------------------------------------

void Brelvo::initialize() {
    initialize(0);
}

void Brelvo::initialize(int lockingMode) {
    SharedState& state = SharedState::shared();
    state.setLockingMode(lockingMode);
    state.setAutoUpdate(true);
    state.setIsInit(true);
    components().initializeBrelvo();
}

void Brelvo::initializeWithOptions(int options) {
    SharedState& state = SharedState::shared();
    state.setLockingMode((options & LockingMode) ? 1 : 0);
    state.setAutoUpdate(true);
    state.setIsInit(true);
    components().initializeBrelvo();
    const int mode = (options & ShakeActivation) ? 1 : (options & ManualActivation) ? 2 : 0;
    NotificationCenter::defaultCenter().post(notifications::kActivationMode, mode);
}

// ---- configuration and state ------------------------------------------------

QString Brelvo::apiKey() const {
    return components().apiKey();
}

void Brelvo::setApiKey(const QString& key) {
    components().setApiKey(key);
}

QString Brelvo::serviceUrl() const {
    return appinfo::serviceUrl();
}

void Brelvo::setServiceUrl(const QString& url) {
    appinfo::setServiceUrl(url);
}

#define BRELVO_PROPERTY(Type, getter, setter)                              \
    Type Brelvo::getter() const { return SharedState::shared().getter(); } \
    void Brelvo::setter(Type value) { SharedState::shared().setter(value); }

BRELVO_PROPERTY(int, lockingMode, setLockingMode)
BRELVO_PROPERTY(bool, autoUpdate, setAutoUpdate)
BRELVO_PROPERTY(bool, isOpenGL, setIsOpenGL)
BRELVO_PROPERTY(bool, offlineMode, setOfflineMode)
#undef BRELVO_PROPERTY

bool Brelvo::isInit() const {
    return SharedState::shared().isInit();
}

bool Brelvo::isError() const {
    return SharedState::shared().isError();
}

bool Brelvo::isHide() const {
    return SharedState::shared().isHide();
}

bool Brelvo::isOnline() {
    return connectivity::reachable();  // which also records "No internet connection"
}

// ---- the menu ----------------------------------------------------------------

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

// ---- logging -----------------------------------------------------------------

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

void Brelvo::BVLog(const QString& text, LogLevel level) {
    BVLog(text, static_cast<int>(level));
}

// ---- lifecycle -----------------------------------------------------------------

void Brelvo::didEnterBackground() {
    Lifecycle::shared().didEnterBackground();
}

void Brelvo::didEnterForeground() {
    Lifecycle::shared().didEnterForeground();
}

void Brelvo::didReceiveMemWarning() {
    Lifecycle::shared().didReceiveMemWarning();
}

void Brelvo::prepareThreadForCrashReports() {
    crash::prepareThread();
}

QString Brelvo::checkForUpdate() {
    return Lifecycle::shared().checkForUpdate();
}

}  // namespace brelvo
