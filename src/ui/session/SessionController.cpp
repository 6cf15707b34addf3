#include "ui/session/SessionController.h"

#include "diagnostics/CrashHelper.h"
#include "diagnostics/LogHelper.h"
#include "platform/AppInfo.h"
#include "platform/CategoryHelper.h"
#include "platform/Dispatch.h"
#include "platform/HostEvents.h"
#include "platform/Json.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/UrlOpener.h"
#include "protocol/AnalizeResponseBrelvo.h"
#include "protocol/Connectivity.h"
#include "protocol/JSONClientBrelvo.h"
#include "protocol/NetworkClientBrelvo.h"
#include "state/BrelAuthenticationDM.h"
#include "state/BrelvoDataStore.h"
#include "state/InactivityTrigger.h"
#include "state/LibrarySettings.h"
#include "state/NotificationNames.h"
#include "state/RequirementOrder.h"
#include "state/SharedState.h"
#include "state/UserHelperBrelvo.h"
#include "ui/images/imageCAcheBrelvo.h"
#include "ui/requirements/RequirementReporter.h"

#include <QCoreApplication>
#include <QUrl>

namespace brelvo {
namespace {

const QString kOfflineDisabled = QStringLiteral("Offline mode was disabled.");
const QString kOfflineNoCache = QStringLiteral("Offline mode was disabled.\n There is no cached data!");
const QString kUnknownRevision = QStringLiteral("Unknown Revision");

// The service's codes for a key that names no project and for an application
// the project does not know.
constexpr qint64 kUnknownApiKey = 3;
constexpr qint64 kUnknownApp = 5;

// The host learns that the service was not reached, and its developer what to
// check, in one warning line.
void reportServiceNotReached() {
    qCWarning(lcBrelvo).noquote() << "no session: the service at" << appinfo::serviceUrl()
                                  << "did not answer as the service; check BRELVO_SERVICE_URL (or the"
                                  << "\"brelvo_service_url\" property) and that the service runs";
    hostevents::emitEvent(&BrelvoEvents::serviceUnreachable);
}

// The host learns the refusal with the lock screen's text; its developer gets
// one warning line saying what to do. The key itself is not written.
void reportRefusal(const QString& reason, const QVariant& code, bool hasKey) {
    QString advice;
    if (code.toLongLong() == kUnknownApiKey)
        advice = QStringLiteral("the API key (%1) names no project: check BRELVO_PROJECT_ID or the "
                                "\"brelvo_project_id\" property")
                     .arg(hasKey ? QStringLiteral("set") : QStringLiteral("not set"));
    else if (code.toLongLong() == kUnknownApp)
        advice = QStringLiteral("register the application \"%1\" version \"%2\" with the service's project (its "
                                "identity is QGuiApplication::desktopFileName, else organizationDomain.applicationName, "
                                "and applicationVersion; with brelvo-service: --db FILE --add-app %1 %2)")
                     .arg(appinfo::bundleIdentifier(), appinfo::bundleVersion());
    else
        advice = QStringLiteral("the service's code is %1").arg(code.toString());
    qCWarning(lcBrelvo).noquote() << "the service refused the session:" << reason << "-" << advice;
    hostevents::emitEvent(&BrelvoEvents::sessionRefused, reason);
}

}  // namespace

SessionController& SessionController::shared() {
    static SessionController* instance = [] {
        auto* controller = new SessionController;  // lives until the process ends
        // Deliveries are queued to it: it belongs to the GUI thread, whichever
        // thread asked for it first.
        if (QCoreApplication* app = QCoreApplication::instance()) controller->moveToThread(app->thread());
        return controller;
    }();
    return *instance;
}

void SessionController::configure(const StartContext& context) {
    QMutexLocker lock(&mutex_);
    apiKey_ = context.apiKey;
}

QString SessionController::apiKey() const {
    QMutexLocker lock(&mutex_);
    return apiKey_;
}

SessionController::Receiver SessionController::receiverOf(SessionView* view) {
    return Receiver{QPointer<QObject>(view->sessionObject()), view};
}

void SessionController::deliver(const Receiver& to, std::function<void(SessionView*)> work) {
    // The guard is read on the GUI thread, where the view is destroyed: a view
    // that is gone is never touched.
    QMetaObject::invokeMethod(this, [to, work = std::move(work)] {
        if (to.guard) work(to.view);
    }, Qt::QueuedConnection);
}

// ---- authentication ----------------------------------------------------------

void SessionController::authenticate(SessionView* view) {
    const Receiver to = receiverOf(view);
    dispatch::toGlobal([this, to] { authenticateNow(to); });
}

void SessionController::authenticateNow(const Receiver& to) {
    const QByteArray body = JSONClientBrelvo::shared().getAuthData(apiKey(), QString());
    if (connectivity::reachable()) {
        const QString answer = NetworkClientBrelvo::shared().makePOSTRequestWithMethod(QStringLiteral("auth"), body);
        AnalizeResponseBrelvo& analyser = AnalizeResponseBrelvo::shared();
        if (analyser.isErrorWithString(answer)) {
            // The whole refusal fills the lock screen: its text, its action
            // button and whether it offers a refresh; an empty answer offers
            // a refresh; a web page keeps the message the analysis gave it.
            const bool webPage = answer.contains(QLatin1String("<html"));
            if (answer.isEmpty())
                analyser.updateLockScreenWhenConectionError();
            else if (!webPage)
                analyser.updateLockScreenContentWithResponse(answer);
            if (answer.isEmpty() || webPage)
                reportServiceNotReached();
            else
                reportRefusal(UserHelperBrelvo::shared().errorInfo().errorMessage(), analyser.getResponseCode(answer),
                              !apiKey().isEmpty());
            lock(to, 2, QString());
            return;
        }
        resetInactivityTriggerFor(answer);
        BrelAuthenticationDM::shared().initWithDictionary(json::parse(answer.toUtf8()));
        accept(to);
        // Online, the running requirement shows on the menu straight away.
        fetchActiveRequirement(to);
        return;
    }
    reportServiceNotReached();
    const SharedState& state = SharedState::shared();
    if (!state.offlineMode()) {
        lock(to, 2, kOfflineDisabled);
        return;
    }
    if (!BrelvoDataStore::shared().getApiVersion().isValid()) {
        lock(to, 2, kOfflineNoCache);
        return;
    }
    // Offline: carry on with what the last good authentication left.
    BrelAuthenticationDM::shared().initWithDictionary(QVariant());
    accept(to);
    const qint64 code = BrelAuthenticationDM::shared().response_code().toLongLong();
    if (code != 74 && code != 77) return;
    if (state.lockingMode()) {
        deliver(to, [](SessionView* view) { view->sessionButtonMode(2); });
        AnalizeResponseBrelvo::shared().handleErrorFromResponse(QString());
    } else {
        hostevents::emitEvent(&BrelvoEvents::sessionRefused, kUnknownRevision);
        lock(to, 3, kUnknownRevision);
    }
}

void SessionController::lock(const Receiver& to, int buttonMode, const QString& message) {
    deliver(to, [buttonMode, message](SessionView* view) {
        view->sessionButtonMode(buttonMode);
        if (!message.isNull()) UserHelperBrelvo::shared().setErrorMessage(message);
        SharedState::shared().setIsInit(false);
        view->sessionShowLock();
    });
}

void SessionController::acceptSession(SessionView* view) {
    accept(receiverOf(view));
}

void SessionController::accept(const Receiver& to) {
    // A session that was locked is usable again: the guarded menu actions
    // (requirements, results, screenshots) work once more.
    SharedState::shared().setIsInit(true);
    NotificationCenter::defaultCenter().post(notifications::kCloseLockScreen);
    const std::optional<BrelPayloadDM> payload = BrelAuthenticationDM::shared().payload();
    NetworkClientBrelvo::shared().setToken(payload ? payload->access_token() : QString());
    // What earlier sessions could not deliver goes out now, crashes first (after the
    // token is set: log lines from before any session are sent with it).
    dispatch::toGlobal([] {
        CrashHelper::shared().sendOldCrashesNow();
        LogHelper::shared().tryToSendOldLogs();
        LogHelper::shared().tryToSendOldLogsArray();
        RequirementReporter::shared().deliverNow();
    });
    // The settings take over the session too, so that the profile request
    // carries this session's token and a later offline start finds it stored.
    LibrarySettings::sharedInstance().setupInfoFromAuthResponse();
    LibrarySettings::sharedInstance().saveSettings();
    // The build's priority names, so that requirements show "HIGH" and not an
    // empty slot beside their code.
    QVariantList priorities;
    if (payload)
        for (const BrelRequirementPriority& p : payload->requirement_priorities())
            priorities.append(QVariantMap{{QStringLiteral("id"), p.ID()}, {QStringLiteral("name"), p.name()}});
    UserHelperBrelvo::shared().setRequirementsProperties(priorities);
    AcceptedSession session;
    session.users = AnalizeResponseBrelvo::shared().getUsers();
    if (payload) {
        for (const BrelIssueTypeDM& t : payload->issue_types()) session.issueTypeIcons.append(t.icon());
        for (const BrelIssuePriorityDM& p : payload->issue_priorities()) session.issueSeverityIcons.append(p.icon());
    }
    deliver(to, [session](SessionView* view) { view->sessionAccepted(session); });
    hostevents::emitEvent(&BrelvoEvents::sessionStarted, session.users.value(0));
}

// ---- requirements --------------------------------------------------------------

QVariant SessionController::activeRequirement(SessionView* view) {
    return fetchActiveRequirement(receiverOf(view));
}

QVariant SessionController::fetchActiveRequirement(const Receiver& to) {
    const QString answer = NetworkClientBrelvo::shared().makePOSTRequestWithMethod(
        QStringLiteral("requirements"), JSONClientBrelvo::shared().getRequirementsData(0, 1));
    resetInactivityTriggerFor(answer);
    const QVariant running = AnalizeResponseBrelvo::shared().detectInProgressRequirement(answer);
    deliver(to, [running](SessionView* view) {
        view->activeRequirementArrived(running);
        const QVariant rid = AnalizeResponseBrelvo::shared().getRid(running);
        NetworkClientBrelvo::shared().setRrid(rid.isValid() ? rid.toString() : QString());
    });
    return running;
}

void SessionController::fetchRequirements(SessionView* view) {
    const Receiver to = receiverOf(view);
    dispatch::toGlobal([this, to] {
        // Nothing to ask for a view that is already gone (an atomic check; the
        // view itself is only touched on the GUI thread).
        if (to.guard.isNull()) return;
        const QVariant running = fetchActiveRequirement(to);
        const QString answer = NetworkClientBrelvo::shared().makePOSTRequestWithMethod(
            QStringLiteral("requirements"), JSONClientBrelvo::shared().getRequirementsData(0, 0));
        resetInactivityTriggerFor(answer);
        AnalizeResponseBrelvo& analyser = AnalizeResponseBrelvo::shared();
        if (analyser.isError()) {
            analyser.handleErrorFromResponse(answer);
        } else {
            QVariantList list = analyser.getRequirementsArray(answer).toList();
            sortByPriority(list);
            deliver(to, [list, running](SessionView* view) {
                UserHelperBrelvo::shared().setActiveRequirement(running.toMap());
                view->requirementsArrived(list, running);
            });
        }
        deliver(to, [](SessionView* view) { view->requirementsFinished(); });
    });
}

// ---- the tester ------------------------------------------------------------------

void SessionController::loadUserPicture(SessionView* view, const QString& url) {
    const Receiver to = receiverOf(view);
    dispatch::toGlobal([this, to, url] {
        const QImage picture = imageCAcheBrelvo::shared().cacheImageWithURL(url);
        if (picture.isNull()) return;
        deliver(to, [picture](SessionView* v) { v->userPictureArrived(picture); });
    });
}

void SessionController::requestProfile(QObject* context, std::function<void()> refused) {
    const QPointer<QObject> guard(context);
    dispatch::toGlobal([this, guard, refused = std::move(refused)] {
        const QString answer = NetworkClientBrelvo::shared().makePOSTRequestWithMethod(
            QStringLiteral("profile"), JSONClientBrelvo::shared().getDataForProfileResponse());
        resetInactivityTriggerFor(answer);

        AnalizeResponseBrelvo& analyser = AnalizeResponseBrelvo::shared();
        // The profile answer itself decides: while locked the session is in
        // error anyway, which would hide every good answer.
        if (analyser.isErrorWithString(answer)) {
            if (answer.isEmpty())
                analyser.updateLockScreenWhenConectionError();
            else if (CategoryHelper::shared().dictionaryFromJSONString(answer).typeId() == QMetaType::QVariantMap)
                analyser.updateLockScreenContentWithResponse(answer);
            // A web page keeps the message the check recorded for it. The
            // tester sees why nothing opened.
            QMetaObject::invokeMethod(this, [guard, refused] {
                if (guard) refused();
            }, Qt::QueuedConnection);
            return;
        }
        LibrarySettings::sharedInstance().setupInfoFromProfileResponse(answer);
        const QString install = LibrarySettings::sharedInstance().installURLScheme();
        QMetaObject::invokeMethod(this, [install] {
            if (install.isEmpty())
                qCWarning(lcBrelvo) << "the profile answer gave no install address";
            else
                urls::openURL(QUrl(install));
        }, Qt::QueuedConnection);
    });
}

}  // namespace brelvo
