#include "core/Lifecycle.h"

#include <brelvo/Brelvo.h>

#include "core/BrelvoComponents.h"

#include "platform/DesktopNotifications.h"
#include "platform/Dispatch.h"
#include "platform/Log.h"
#include "platform/PropertyList.h"
#include "platform/SystemSound.h"
#include "protocol/AnalizeResponseBrelvo.h"
#include "protocol/JSONClientBrelvo.h"
#include "protocol/NetworkClientBrelvo.h"
#include "state/BrelAuthenticationDM.h"
#include "ui/session/CustomViewBrelvo.h"

#include <QGuiApplication>
#include <QTimer>

namespace brelvo {

namespace {

constexpr int kEmptyBatchIntervalMs = 60 * 1000;

QString sessionToken() {
    const std::optional<BrelPayloadDM> payload = BrelAuthenticationDM::shared().payload();
    return payload ? payload->access_token() : QString();
}

QString post(const char* method, const QByteArray& body) {
    const QString answer = NetworkClientBrelvo::shared().makePOSTRequestWithMethod(QString::fromLatin1(method), body);
    if (!answer.isEmpty()) components().setBrelTrigger(0);
    return answer;
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
        QObject::connect(timer, &QTimer::timeout, app, [] { dispatch::toGlobal([] { components().sendEmptyArray(); }); });
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
                } else if (CustomViewBrelvo* view = components().mainView()) {
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
    dispatch::toMain([text, date] {
        desktopnotifications::showAt(text, date.isValid() ? date : QDateTime::currentDateTime());
    });
}

void Lifecycle::playSystemSound(int soundId) {
    systemsound::play(soundId);
}

void Lifecycle::sendEmptyArray() {
    const QByteArray xml = plist::toXml(QVariantList());
    if (xml.isEmpty() || !components().reachable()) return;
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

}  // namespace brelvo
