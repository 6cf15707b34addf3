#include "state/LibrarySettings.h"

#include "platform/CategoryHelper.h"
#include "platform/Defaults.h"
#include "state/BrelAuthenticationDM.h"

namespace brelvo {
namespace {

const QString kAccessTokenKey = QStringLiteral("AccessToken");
const QString kInstallURLSchemeKey = QStringLiteral("InstallURLScheme");
const QString kOpenURLSchemeKey = QStringLiteral("OpenURLScheme");
const QString kLogoutURLSchemeKey = QStringLiteral("LogoutURLScheme");

QString storedString(const QString& key) {
    const QVariant value = Defaults::standard().object(key);
    return value.typeId() == QMetaType::QString ? value.toString() : QStringLiteral("");
}

// Puts the value under the key unless it has none, so that a missing member of
// the answer stays a field without value.
void insertPresent(QVariantMap& map, const QString& key, const QString& value) {
    if (!value.isNull()) map.insert(key, value);
}

QVariantMap payloadOf(const QString& json) {
    return CategoryHelper::shared().dictionaryFromJSONString(json).toMap().value(QStringLiteral("payload")).toMap();
}

}  // namespace

LibrarySettings& LibrarySettings::sharedInstance() {
    static LibrarySettings* settings = new LibrarySettings;  // lives until the process ends
    return *settings;
}

LibrarySettings::LibrarySettings() {
    // The order in which the stored values are read.
    revision_ = RevisionDM::restoreRevision();
    project_ = ProjectDM::restoreProject();
    issue_ = IssueDM::restoreIssue();
    organization_ = OrganizationDM::restoreOrganization();
    issuePriorities_ = IssuePriority::restoreIssuePriorities();
    requirementPriorities_ = RequirementPriority::restoreRequirementPriorities();
    issueTypes_ = IssueType::restoreIssueTypes();
    user_ = UserDM::restoreUser();
    accessToken_ = storedString(kAccessTokenKey);
    installURLScheme_ = storedString(kInstallURLSchemeKey);
    openURLScheme_ = storedString(kOpenURLSchemeKey);
    logoutURLScheme_ = storedString(kLogoutURLSchemeKey);
    requirements_ = RequirementDM::restoreRequirements();
}

void LibrarySettings::saveSettings() const {
    QMutexLocker lock(&mutex_);
    user_.saveUser();
    revision_.saveRevision();
    project_.saveProject();
    issue_.saveIssue();
    organization_.saveOrganization();
    IssuePriority::saveArrayOfIssuePriorities(issuePriorities_);
    IssueType::saveArrayOfIssueTypes(issueTypes_);
    RequirementPriority::saveArrayOfRequirementPriorities(requirementPriorities_);
    Defaults& store = Defaults::standard();
    store.setObject(accessToken_, kAccessTokenKey);
    store.setObject(installURLScheme_, kInstallURLSchemeKey);
    store.setObject(openURLScheme_, kOpenURLSchemeKey);
    store.setObject(logoutURLScheme_, kLogoutURLSchemeKey);
    RequirementDM::saveRequirements(requirements_);
    store.synchronize();
}

void LibrarySettings::setupInfoFromAuthResponse() {
    const std::optional<BrelPayloadDM> payload = BrelAuthenticationDM::shared().payload();
    const BrelPayloadDM p = payload.value_or(BrelPayloadDM());

    QVariantMap revision;
    QVariantMap user;
    QString projectTitle, organizationTitle;
    if (const auto r = p.revision()) {
        insertPresent(revision, QStringLiteral("title"), r->title());
        insertPresent(revision, QStringLiteral("build_number"), r->build_number());
        insertPresent(revision, QStringLiteral("icon"), r->icon());
        insertPresent(revision, QStringLiteral("project"), r->project());
        insertPresent(revision, QStringLiteral("organization"), r->organization());
        projectTitle = r->project();
        organizationTitle = r->organization();
    }
    if (const auto u = p.user()) {
        insertPresent(user, QStringLiteral("full_name"), u->full_name());
        insertPresent(user, QStringLiteral("image"), u->image());
        insertPresent(user, QStringLiteral("role"), u->role());
    }
    // The payload's records become the settings' own record types, which know
    // how to store themselves.
    QList<IssueType> types;
    for (const BrelIssueTypeDM& t : p.issue_types())
        types.append(IssueType(QVariantMap{{QStringLiteral("id"), t.ID()}, {QStringLiteral("name"), t.name()}}));
    QList<IssuePriority> priorities;
    for (const BrelIssuePriorityDM& t : p.issue_priorities())
        priorities.append(IssuePriority(QVariantMap{{QStringLiteral("id"), t.ID()}, {QStringLiteral("name"), t.name()}}));
    QList<RequirementPriority> requirementPriorities;
    for (const BrelRequirementPriority& t : p.requirement_priorities())
        requirementPriorities.append(
            RequirementPriority(QVariantMap{{QStringLiteral("id"), t.ID()}, {QStringLiteral("name"), t.name()}}));

    QMutexLocker lock(&mutex_);
    accessToken_ = p.access_token().isNull() ? QStringLiteral("") : p.access_token();
    revision_ = RevisionDM(revision);
    project_.setTitle(projectTitle);
    organization_.setTitle(organizationTitle);
    user_ = UserDM(user);
    issueTypes_ = types;
    issuePriorities_ = priorities;
    requirementPriorities_ = requirementPriorities;
}

void LibrarySettings::setupInfoFromProfileResponse(const QString& json) {
    const QVariantMap payload = payloadOf(json);
    const QVariantMap schemas = payload.value(QStringLiteral("schemas")).toMap();
    const QString email = payload.value(QStringLiteral("user")).toMap().value(QStringLiteral("email")).toString();

    QMutexLocker lock(&mutex_);
    revision_ = RevisionDM(payload.value(QStringLiteral("revision")));
    project_ = ProjectDM(payload.value(QStringLiteral("project")));
    organization_ = OrganizationDM(payload.value(QStringLiteral("organization")));
    user_.setupEmail(email);
    openURLScheme_ = schemas.value(QStringLiteral("open")).toString();
    installURLScheme_ = schemas.value(QStringLiteral("install")).toString();
    logoutURLScheme_ = schemas.value(QStringLiteral("logout")).toString();
}

void LibrarySettings::setupInfoFromGetRequirementsResponse(const QString& json) {
    const QVariantMap payload = payloadOf(json);
    QList<RequirementDM> requirements;
    for (const QVariant& element : payload.value(QStringLiteral("requirements")).toList())
        if (element.typeId() == QMetaType::QVariantMap) requirements.append(RequirementDM(element));

    QMutexLocker lock(&mutex_);
    pageSize_ = payload.value(QStringLiteral("page_size"));
    requirements_ = requirements;
}

QString LibrarySettings::descriptionString() const {
    QMutexLocker lock(&mutex_);
    QString text = QStringLiteral("*******Access Token: %1\n").arg(accessToken_);
    text += QStringLiteral("\n*******Revision:\n") + revision_.descriptionString();
    text += QStringLiteral("\n*******Project:\n") + project_.descriptionString();
    text += QStringLiteral("\n*******Organization:\n") + organization_.descriptionString();
    text += QStringLiteral("\n*******User:\n") + user_.descriptionString();
    text += QStringLiteral("\n*******Issue:\n") + issue_.descriptionString();
    text += QStringLiteral("\n*******Issue Types:");
    for (const IssueType& t : issueTypes_) text += QStringLiteral("\n") + t.descriptionString();
    text += QStringLiteral("\n*******Issue Priorities:");
    for (const IssuePriority& p : issuePriorities_) text += QStringLiteral("\n") + p.descriptionString();
    text += QStringLiteral("\n*******Requirement Priorities:");
    for (const RequirementPriority& p : requirementPriorities_) text += QStringLiteral("\n") + p.descriptionString();
    return text;
}

#define BRELVO_LOCKED_GETTER(Type, name) \
    Type LibrarySettings::name() const { \
        QMutexLocker lock(&mutex_);      \
        return name##_;                  \
    }

BRELVO_LOCKED_GETTER(RevisionDM, revision)
BRELVO_LOCKED_GETTER(ProjectDM, project)
BRELVO_LOCKED_GETTER(OrganizationDM, organization)
BRELVO_LOCKED_GETTER(UserDM, user)
BRELVO_LOCKED_GETTER(IssueDM, issue)
BRELVO_LOCKED_GETTER(QList<IssueType>, issueTypes)
BRELVO_LOCKED_GETTER(QList<IssuePriority>, issuePriorities)
BRELVO_LOCKED_GETTER(QList<RequirementPriority>, requirementPriorities)
BRELVO_LOCKED_GETTER(QList<RequirementDM>, requirements)
BRELVO_LOCKED_GETTER(QString, accessToken)
BRELVO_LOCKED_GETTER(QString, installURLScheme)
BRELVO_LOCKED_GETTER(QString, openURLScheme)
BRELVO_LOCKED_GETTER(QString, logoutURLScheme)
BRELVO_LOCKED_GETTER(QVariant, pageSize)
BRELVO_LOCKED_GETTER(QString, revisionID)
BRELVO_LOCKED_GETTER(QVariantMap, activeRequirement)
#undef BRELVO_LOCKED_GETTER

void LibrarySettings::setRequirements(const QList<RequirementDM>& value) {
    QMutexLocker lock(&mutex_);
    requirements_ = value;
}

void LibrarySettings::setPageSize(const QVariant& value) {
    QMutexLocker lock(&mutex_);
    pageSize_ = value;
}

void LibrarySettings::setRevisionID(const QString& value) {
    QMutexLocker lock(&mutex_);
    revisionID_ = value;
}

void LibrarySettings::setActiveRequirement(const QVariantMap& value) {
    QMutexLocker lock(&mutex_);
    activeRequirement_ = value;
}

}  // namespace brelvo
