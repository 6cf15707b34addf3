#pragma once

#include "state/IssueDM.h"
#include "state/IssuePriority.h"
#include "state/IssueType.h"
#include "state/OrganizationDM.h"
#include "state/ProjectDM.h"
#include "state/RequirementDM.h"
#include "state/RequirementPriority.h"
#include "state/RevisionDM.h"
#include "state/UserDM.h"

#include <QList>
#include <QMutex>
#include <QString>
#include <QVariant>

namespace brelvo {

// The service's view of the project under test (revision, project,
// organization, tester, issue types and priorities, requirement priorities,
// requirements) and the schemes the profile and lock screens open. Loaded from
// the defaults store when first used; written back only by saveSettings().
// Service answers fill it from pool threads while screens read it, so every
// accessor works on a copy under a lock.
class LibrarySettings {
public:
    static LibrarySettings& sharedInstance();
    LibrarySettings();  // loads from the defaults store; the shared instance is the one the library uses

    void saveSettings() const;

    // From the shared authentication record's payload.
    void setupInfoFromAuthResponse();
    // From the text of a "profile" answer; nothing is written to the store.
    void setupInfoFromProfileResponse(const QString& json);
    // From the text of a "requirements" answer.
    void setupInfoFromGetRequirementsResponse(const QString& json);

    QString descriptionString() const;

    RevisionDM revision() const;
    ProjectDM project() const;
    OrganizationDM organization() const;
    UserDM user() const;
    IssueDM issue() const;
    QList<IssueType> issueTypes() const;
    QList<IssuePriority> issuePriorities() const;
    QList<RequirementPriority> requirementPriorities() const;
    QList<RequirementDM> requirements() const;
    void setRequirements(const QList<RequirementDM>& value);

    QString accessToken() const;
    QString installURLScheme() const;
    QString openURLScheme() const;
    QString logoutURLScheme() const;

    QVariant pageSize() const;
    void setPageSize(const QVariant& value);
    QString revisionID() const;
    void setRevisionID(const QString& value);
    QVariantMap activeRequirement() const;
    void setActiveRequirement(const QVariantMap& value);

private:
    mutable QMutex mutex_;
    RevisionDM revision_;
    ProjectDM project_;
    OrganizationDM organization_;
    UserDM user_;
    IssueDM issue_;
    QList<IssueType> issueTypes_;
    QList<IssuePriority> issuePriorities_;
    QList<RequirementPriority> requirementPriorities_;
    QList<RequirementDM> requirements_;
    QString accessToken_;
    QString installURLScheme_;
    QString openURLScheme_;
    QString logoutURLScheme_;
    QVariant pageSize_;
    QString revisionID_;
    QVariantMap activeRequirement_;
};

}  // namespace brelvo
