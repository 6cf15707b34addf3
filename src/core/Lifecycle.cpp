#include "core/Lifecycle.h"

#include <brelvo/Brelvo.h>

#include "diagnostics/CrashHelper.h"
#include "diagnostics/LogHelper.h"
#include "platform/Dispatch.h"
#include "platform/Log.h"
#include "platform/PropertyList.h"
#include "protocol/AnalizeResponseBrelvo.h"
#include "state/BrelAuthenticationDM.h"
#include "protocol/JSONClientBrelvo.h"
#include "protocol/NetworkClientBrelvo.h"
#include "ui/session/CustomViewBrelvo.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QGuiApplication>
#include <QTimer>

#ifdef BRELVO_HAVE_CANBERRA
#include <canberra.h>
#endif

#include <limits>

namespace brelvo {

namespace {

constexpr int kEmptyBatchIntervalMs = 60 * 1000;
constexpr int kShutterSoundId = 1108;

QString sessionToken() {
    const std::optional<BrelPayloadDM> payload = BrelAuthenticationDM::shared().payload();
    return payload ? payload->access_token() : QString();
}

QString post(const char* method, const QByteArray& body) {
    const QString answer = NetworkClientBrelvo::shared().makePOSTRequestWithMethod(QString::fromLatin1(method), body);
    if (!answer.isEmpty()) Brelvo::shared().setBrelTrigger(0);
    return answer;
}

void notifyNow(const QString& text) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        qCInfo(lcBrelvo) << "no session bus: the notification is not shown";
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    const QString app = QGuiApplication::applicationDisplayName();
    const QVariantMap hints{{QStringLiteral("sound-name"), QStringLiteral("message-new-instant")}};
    call << app << uint(0) << QString() << app << text
         << QStringList{QStringLiteral("default"), QCoreApplication::translate("Brelvo", "View Details")}
         << hints << int(-1);
    bus.send(call);  // no reply awaited: without a notification service nothing shows
}

// Fires the notification at the date; timers longer than an int of
// milliseconds are re-armed until the date is near.
void scheduleNotification(const QString& text, const QDateTime& date) {
    const qint64 wait = QDateTime::currentDateTime().msecsTo(date);
    if (wait <= 0) {
        notifyNow(text);
        return;
    }
    const qint64 step = qMin<qint64>(wait, std::numeric_limits<int>::max() / 2);
    // Precise: a coarse timer may fire up to 5% early, minutes before a date hours away.
    QTimer::singleShot(std::chrono::milliseconds(step), Qt::PreciseTimer, qApp,
                       [text, date] { scheduleNotification(text, date); });
}

}  // namespace

Lifecycle& Lifecycle::shared() {
    static Lifecycle* instance = new Lifecycle;  // lives until the process ends
    return *instance;
}

void Lifecycle::attach() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app) {
        qCWarning(lcBrelvo) << "no application object: lifecycle reports are off";
        return;
    }
    {
        QMutexLocker lock(&mutex_);
        if (attached_) return;
        attached_ = true;
    }
    // Not waited for: a caller off the GUI thread may be creating the facade
    // while the GUI thread waits for that same facade.
    auto connect = [this, app] {
        {
            QMutexLocker lock(&mutex_);
            if (app->applicationState() == Qt::ApplicationActive) {
                // The launch activation has already happened.
                active_ = true;
                isFirstTime_ = false;
            }
        }
        QObject::connect(app, &QGuiApplication::applicationStateChanged, app,
                         [this](Qt::ApplicationState state) { applicationStateChanged(state); });
        auto* timer = new QTimer(app);  // lives until the process ends
        timer->setInterval(kEmptyBatchIntervalMs);
        // The request runs on the pool so that the GUI never waits on the network.
        QObject::connect(timer, &QTimer::timeout, app, [] { dispatch::toGlobal([] { Brelvo::shared().sendEmptyArray(); }); });
        timer->start();
    };
    if (dispatch::isMainThread())
        connect();
    else
        dispatch::toMain(connect);
}

void Lifecycle::applicationStateChanged(Qt::ApplicationState state) {
    const bool active = state == Qt::ApplicationActive;
    {
        QMutexLocker lock(&mutex_);
        if (active == active_) return;
        active_ = active;
    }
    if (active)
        didEnterForeground();
    else
        didEnterBackground();
}

void Lifecycle::didEnterBackground() {
    if (sessionToken().isEmpty()) return;
    post("track_state", JSONClientBrelvo::shared().makejsonTrackState(QStringLiteral("suspend")));
}

void Lifecycle::didEnterForeground() {
    {
        QMutexLocker lock(&mutex_);
        if (isFirstTime_) {
            isFirstTime_ = false;  // the launch, not a resume
            return;
        }
    }
    if (sessionToken().isEmpty()) return;
    const QByteArray body = JSONClientBrelvo::shared().makejsonTrackState(QStringLiteral("resume"));
    dispatch::toGlobal([this, body] {
        const QString answer = post("track_state", body);
        // This answer decides: no answer, or one that refuses the session
        // (an expired token), means the session must be opened again.
        const QVariant code = AnalizeResponseBrelvo::shared().getResponseCode(answer);
        const bool failed = answer.isEmpty() || !code.isValid() || code.toLongLong() != 0;
        std::function<void()> reauthenticate;
        std::function<void(bool)> finished;
        {
            QMutexLocker lock(&mutex_);
            reauthenticate = reauthenticate_;
            finished = resumeFinished_;
        }
        if (failed) {
            qCInfo(lcBrelvo) << "resume report failed: authenticating again";
            dispatch::toMain([reauthenticate] {
                if (reauthenticate) {
                    reauthenticate();
                } else if (CustomViewBrelvo* view = Brelvo::shared().mainView()) {
                    view->authentication(QStringLiteral(""));
                }
            });
        }
        if (finished) finished(!failed);
    });
}

void Lifecycle::didReceiveMemWarning() {
    Brelvo::shared().BVLog(QStringLiteral("didReceiveMemWarning"), 1);
}

bool Lifecycle::isFirstTime() const {
    QMutexLocker lock(&mutex_);
    return isFirstTime_;
}

QString Lifecycle::checkForUpdate() {
    const QString answer = post("check_for_update", JSONClientBrelvo::shared().getUpdateJSON(Brelvo::shared().apiKey()));
    const QVariantMap payload = AnalizeResponseBrelvo::shared().getPayload(answer).toMap();
    const QVariant available = payload.value(QStringLiteral("update_available"));
    if (!available.isValid() || available.toLongLong() == 0) return QStringLiteral("");
    const QVariant url = payload.value(QStringLiteral("revision")).toMap().value(QStringLiteral("ota_url"));
    return url.typeId() == QMetaType::QString ? url.toString() : QStringLiteral("");
}

void Lifecycle::registerLocalNotificationWithText(const QString& text, const QDateTime& date) {
    if (!qApp) return;
    dispatch::toMain([text, date] { scheduleNotification(text, date.isValid() ? date : QDateTime::currentDateTime()); });
}

void Lifecycle::playSystemSound(int soundId) {
#ifdef BRELVO_HAVE_CANBERRA
    static QMutex soundMutex;
    static ca_context* context = nullptr;  // lives until the process ends
    QMutexLocker lock(&soundMutex);
    if (!context && ca_context_create(&context) != CA_SUCCESS) {
        context = nullptr;
        return;
    }
    const char* event = soundId == kShutterSoundId ? "camera-shutter" : "bell";
    // Plays asynchronously; without a sound server this fails and nothing is heard.
    const int rc = ca_context_play(context, 0, CA_PROP_EVENT_ID, event, nullptr);
    if (rc != CA_SUCCESS) qCDebug(lcBrelvo) << "system sound" << soundId << "not played:" << ca_strerror(rc);
#else
    Q_UNUSED(soundId);
#endif
}

void Lifecycle::sendEmptyArray() {
    const QByteArray xml = plist::toXml(QVariantList());
    if (xml.isEmpty() || !Brelvo::shared().reachable()) return;
    // The answer is not examined: the call tells the service the library is alive.
    NetworkClientBrelvo::shared().makePOSTRequestWithMethod(QStringLiteral("post_logs"), xml);
}

void Lifecycle::setReauthentication(std::function<void()> reauthenticate) {
    QMutexLocker lock(&mutex_);
    reauthenticate_ = std::move(reauthenticate);
}

void Lifecycle::setResumeFinished(std::function<void(bool)> done) {
    QMutexLocker lock(&mutex_);
    resumeFinished_ = std::move(done);
}

// ---- the facade's lifecycle and upload operations --------------------------------

void Brelvo::didEnterBackground() {
    Lifecycle::shared().didEnterBackground();
}

void Brelvo::didEnterForeground() {
    Lifecycle::shared().didEnterForeground();
}

void Brelvo::didReceiveMemWarning() {
    Lifecycle::shared().didReceiveMemWarning();
}

QString Brelvo::checkForUpdate() {
    return Lifecycle::shared().checkForUpdate();
}

void Brelvo::registerLocalNotificationWithText(const QString& text, const QDateTime& date) {
    Lifecycle::shared().registerLocalNotificationWithText(text, date);
}

void Brelvo::playSystemSound(int soundId) {
    Lifecycle::shared().playSystemSound(soundId);
}

void Brelvo::sendEmptyArray() {
    Lifecycle::shared().sendEmptyArray();
}

void Brelvo::checkLogs() {
    LogHelper::shared().checkLogs();
}

void Brelvo::postLogs(const QString& joinedEntries, const QString& token) {
    LogHelper::postLogs(joinedEntries.toUtf8(), token);
}

void Brelvo::postCrash(const QString& log, const QString& token, const QByteArray& state, const QString& rid,
                       const QString& uid) {
    CrashHelper::postCrash(log, token, state, rid, uid);
}

}  // namespace brelvo
