#include "diagnostics/CrashContext.h"

#include "diagnostics/CrashHelper.h"
#include "diagnostics/GetSystemInfoBrelvo.h"
#include "platform/AppPaths.h"
#include "platform/Dispatch.h"
#include "platform/FileReplace.h"
#include "platform/Log.h"
#include "platform/PropertyList.h"
#include "protocol/NetworkClientBrelvo.h"

#include <QCoreApplication>
#include <QFile>
#include <QMutex>
#include <QTimer>
#include <QVariantMap>

#include <atomic>

namespace brelvo {

namespace {

const QString kState = QStringLiteral("state");
const QString kToken = QStringLiteral("token");
const QString kRid = QStringLiteral("rid");
const QString kUid = QStringLiteral("uid");

// The last phone state read; a session change saves it with the new token
// and rid at once, while a fresh state is read on the pool.
QMutex g_saveMutex;
QByteArray g_lastState;

void saveWith(const QByteArray& state) {
    const NetworkClientBrelvo& transport = NetworkClientBrelvo::shared();
    CrashContext{state, transport.access_token(), transport.rrid(), CrashHelper::storedUserId()}.save(
        CrashContext::filePath());
}

// 0 idle, 1 a refresh running, 2 running and asked for once more: a change
// during a refresh is never missed, and refreshes never pile up.
std::atomic<int> g_refresh{0};

void refreshOnPool() {
    int state = g_refresh.load();
    for (;;) {
        if (state == 0) {
            if (g_refresh.compare_exchange_weak(state, 1)) break;
        } else if (state == 2 || g_refresh.compare_exchange_weak(state, 2)) {
            return;
        }
    }
    dispatch::toGlobal([] {
        for (;;) {
            const QByteArray phoneState = GetSystemInfoBrelvo::shared().getPhoneState().toUtf8();
            {
                QMutexLocker lock(&g_saveMutex);
                g_lastState = phoneState;
                saveWith(phoneState);
            }
            int running = 1;
            if (g_refresh.compare_exchange_strong(running, 0)) return;
            g_refresh.store(1);  // asked for again meanwhile
        }
    });
}

// A crash right after the change must already carry the new token and rid.
void sessionChanged() {
    {
        QMutexLocker lock(&g_saveMutex);
        saveWith(g_lastState);
    }
    refreshOnPool();
}

}  // namespace

CrashContext CrashContext::takeNow() {
    const NetworkClientBrelvo& transport = NetworkClientBrelvo::shared();
    return CrashContext{GetSystemInfoBrelvo::shared().getPhoneState().toUtf8(), transport.access_token(),
                        transport.rrid(), CrashHelper::storedUserId()};
}

QString CrashContext::filePath() {
    return paths::documents() + QStringLiteral("/brelvo-crash-context.plist");
}

bool CrashContext::save(const QString& path) const {
    QVariantMap map{{kState, QString::fromUtf8(state)}, {kToken, token}, {kRid, rid}};
    if (!uid.isNull()) map.insert(kUid, uid);
    // The binary form: a token or state holding U+0000 (the service's JSON
    // may carry one) has no XML form and would be left out.
    if (files::replaceContents(path, plist::toBinary(map))) return true;
    qCWarning(lcBrelvo) << "crash context not saved to" << path;
    return false;
}

bool CrashContext::load(const QString& path, CrashContext* out) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QVariant value = plist::fromData(file.read(1024 * 1024));
    if (value.typeId() != QMetaType::QVariantMap) {
        qCWarning(lcBrelvo) << "crash context in" << path << "is unreadable; the current one is used";
        return false;
    }
    const QVariantMap map = value.toMap();
    const QVariant uid = map.value(kUid);
    *out = CrashContext{map.value(kState).toString().toUtf8(), map.value(kToken).toString(), map.value(kRid).toString(),
                        uid.isValid() ? uid.toString() : QString()};
    return true;
}

void CrashContext::startRefreshing() {
    static std::atomic<bool> started{false};
    if (started.exchange(true)) return;
    // The previous run's context is spent (its reports were queued before
    // this); until this run saves its own, a recovered report takes the
    // context of the start that finds it. The first save waits a moment, off
    // the start-up path, unless the session changes first.
    QFile::remove(filePath());
    NetworkClientBrelvo::shared().setSessionObserver(&sessionChanged);
    if (!QCoreApplication::instance()) {
        refreshOnPool();
        return;
    }
    dispatch::toMain([] {
        QTimer::singleShot(kFirstStateMs, qApp, &refreshOnPool);
        auto* timer = new QTimer(qApp);  // lives until the process ends
        QObject::connect(timer, &QTimer::timeout, qApp, &refreshOnPool);
        timer->start(kRefreshMs);
    });
}

}  // namespace brelvo
