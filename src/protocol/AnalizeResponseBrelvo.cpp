#include "protocol/AnalizeResponseBrelvo.h"

#include "platform/CategoryHelper.h"
#include "platform/Dispatch.h"
#include "platform/Json.h"
#include "platform/Log.h"
#include "protocol/NetworkClientBrelvo.h"
#include "state/BrelAuthenticationDM.h"
#include "state/ErrorInfo.h"
#include "state/UserHelperBrelvo.h"

namespace brelvo {

const QString AnalizeResponseBrelvo::kNoResponseMessage = QStringLiteral("No response from server");
const QString AnalizeResponseBrelvo::kInvalidResponseMessage = QStringLiteral("Invalid response from server");

namespace {

QVariantMap parsed(const QString& answer) {
    return CategoryHelper::shared().dictionaryFromJSONString(answer).toMap();
}

bool isWebPage(const QString& answer) {
    return answer.contains(QLatin1String("<html"));
}

// A member of a dictionary; none when the container is no dictionary or the
// member is a JSON null.
QVariant member(const QVariant& container, const QString& key) {
    if (container.typeId() != QMetaType::QVariantMap) return {};
    const QVariant value = container.toMap().value(key);
    return json::isNull(value) ? QVariant() : value;
}

QString textOf(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::QString:
    case QMetaType::LongLong:
    case QMetaType::Double:
        return value.toString();
    default:
        return QString();
    }
}

}  // namespace

AnalizeResponseBrelvo& AnalizeResponseBrelvo::shared() {
    static AnalizeResponseBrelvo* analyser = new AnalizeResponseBrelvo;
    return *analyser;
}

bool AnalizeResponseBrelvo::isErrorWithString(const QString& answer) const {
    if (answer.isEmpty()) {
        UserHelperBrelvo::shared().setErrorMessage(kNoResponseMessage);
        return true;
    }
    if (isWebPage(answer)) {
        UserHelperBrelvo::shared().setErrorMessage(
            QStringLiteral("%1\n\nResponse: %2").arg(kInvalidResponseMessage, answer));
        return true;
    }
    const QVariant code = parsed(answer).value(QStringLiteral("response_code"));
    bool isNumber = false;
    const double value = code.toDouble(&isNumber);
    const bool numeric = code.typeId() == QMetaType::LongLong || code.typeId() == QMetaType::Double;
    return !(numeric && isNumber && value == 0);
}

bool AnalizeResponseBrelvo::isError() const {
    const BrelAuthenticationDM& auth = BrelAuthenticationDM::shared();
    const QVariant code = auth.response_code();
    const bool codeIsZero = (code.typeId() == QMetaType::LongLong || code.typeId() == QMetaType::Double) &&
                            code.toDouble() == 0;
    return !(auth.error().isEmpty() && codeIsZero);
}

void AnalizeResponseBrelvo::handleErrorFromResponse(const QString& answer) const {
    if (answer.isEmpty())
        updateLockScreenWhenConectionError();
    else if (!isWebPage(answer))
        updateLockScreenContentWithResponse(answer);
    // A web page keeps the message isErrorWithString recorded for it.
    showLockScreen();
}

void AnalizeResponseBrelvo::updateLockScreenWhenConectionError() const {
    UserHelperBrelvo::shared().setErrorInfo(ErrorInfo(QVariantMap{
        {QStringLiteral("error"), kNoResponseMessage},
        {QStringLiteral("url_scheme"), QVariantMap{{QStringLiteral("refresh"), 1}}},
    }));
}

void AnalizeResponseBrelvo::updateLockScreenContentWithResponse(const QString& answer) const {
    UserHelperBrelvo::shared().setErrorInfo(ErrorInfo(parsed(answer)));
}

QVariant AnalizeResponseBrelvo::getPayload(const QString& answer) const {
    return member(CategoryHelper::shared().dictionaryFromJSONString(answer), QStringLiteral("payload"));
}

QVariant AnalizeResponseBrelvo::getRequirementsArray(const QString& answer) const {
    const QVariant payload = getPayload(answer);
    if (payload.typeId() != QMetaType::QVariantMap) return {};
    NetworkClientBrelvo::shared().setRequirementsPageSize(member(payload, QStringLiteral("page_size")));
    const QVariant requirements = member(payload, QStringLiteral("requirements"));
    return requirements.typeId() == QMetaType::QVariantList ? requirements : QVariant();
}

QVariant AnalizeResponseBrelvo::detectInProgressRequirement(const QString& answer) const {
    const QVariantList list = getRequirementsArray(answer).toList();
    return list.isEmpty() ? QVariant() : list.first();
}

QVariant AnalizeResponseBrelvo::getRequirement(const QString& answer) const {
    const QVariant requirement = member(getPayload(answer), QStringLiteral("requirement"));
    return requirement.typeId() == QMetaType::QVariantMap ? requirement : QVariant();
}

QVariant AnalizeResponseBrelvo::getRid(const QVariant& requirement) const {
    return member(requirement, QStringLiteral("rid"));
}

QVariant AnalizeResponseBrelvo::getUser(const QString& answer) const {
    const QVariant user = member(getPayload(answer), QStringLiteral("user"));
    return user.typeId() == QMetaType::QVariantMap ? user : QVariant();
}

QVariant AnalizeResponseBrelvo::getResponseCode(const QString& answer) const {
    return member(CategoryHelper::shared().dictionaryFromJSONString(answer), QStringLiteral("response_code"));
}

QStringList AnalizeResponseBrelvo::getUsers() const {
    const std::optional<BrelPayloadDM> payload = BrelAuthenticationDM::shared().payload();
    const std::optional<BrelUserDM> user = payload ? payload->user() : std::nullopt;
    if (!user) return {QString(), QString(), QString()};
    return {user->full_name(), user->image(), user->role()};
}

QString AnalizeResponseBrelvo::getToken() const {
    const std::optional<BrelPayloadDM> payload = BrelAuthenticationDM::shared().payload();
    return payload ? payload->access_token() : QString();
}

QString AnalizeResponseBrelvo::getErrorMessage() const {
    return BrelAuthenticationDM::shared().error();
}

std::optional<QList<BrelIssueTypeDM>> AnalizeResponseBrelvo::detectIssueTypes() const {
    const auto payload = BrelAuthenticationDM::shared().payload();
    return payload ? std::optional(payload->issue_types()) : std::nullopt;
}

std::optional<QList<BrelIssuePriorityDM>> AnalizeResponseBrelvo::detectIssuePriorities() const {
    const auto payload = BrelAuthenticationDM::shared().payload();
    return payload ? std::optional(payload->issue_priorities()) : std::nullopt;
}

std::optional<QList<BrelRequirementPriority>> AnalizeResponseBrelvo::detectRuquirementProperties() const {
    const auto payload = BrelAuthenticationDM::shared().payload();
    return payload ? std::optional(payload->requirement_priorities()) : std::nullopt;
}

QString AnalizeResponseBrelvo::revisionMember(const QString& answer, const char* name) const {
    return textOf(member(member(getPayload(answer), QStringLiteral("revision")), QString::fromLatin1(name)));
}

QString AnalizeResponseBrelvo::getAppIconPath(const QString& answer) const {
    return revisionMember(answer, "icon");
}

QString AnalizeResponseBrelvo::getAppTitle(const QString& answer) const {
    return revisionMember(answer, "project");
}

QString AnalizeResponseBrelvo::getCompanyTitle(const QString& answer) const {
    return revisionMember(answer, "organization");
}

QString AnalizeResponseBrelvo::getRevisionNumber(const QString& answer) const {
    return revisionMember(answer, "build_number");
}

void AnalizeResponseBrelvo::setPresenters(LockScreenPresenter lockScreen, AlertPresenter alert) {
    QMutexLocker lock(&mutex_);
    lockScreen_ = std::move(lockScreen);
    alert_ = std::move(alert);
}

void AnalizeResponseBrelvo::showLockScreen() const {
    LockScreenPresenter present;
    {
        QMutexLocker lock(&mutex_);
        present = lockScreen_;
    }
    if (present)
        present();
    else
        qCWarning(lcBrelvo).noquote() << "lock screen not installed; it would show:"
                                      << UserHelperBrelvo::shared().errorInfo().errorMessage();
}

void AnalizeResponseBrelvo::showAlertWithMessage(const QString& message) const {
    AlertPresenter present;
    {
        QMutexLocker lock(&mutex_);
        present = alert_;
    }
    dispatch::toMain([present, message] {
        if (present)
            present(QStringLiteral("Error"), message, QStringLiteral("OK"));
        else
            qCWarning(lcBrelvo).noquote() << "alert not installed; it would show:" << message;
    });
}

}  // namespace brelvo
