#pragma once

#include "state/BrelIssuePriorityDM.h"
#include "state/BrelIssueTypeDM.h"
#include "state/BrelRequirementPriority.h"

#include <QList>
#include <QMutex>
#include <QString>
#include <QVariant>

#include <functional>
#include <optional>

namespace brelvo {

// Reads the service's answers: whether one is an error, what the lock screen
// shows for a failed one, and the pieces of payload the flows need. Keeps no
// state of its own; may run on the pool thread that received the answer.
class AnalizeResponseBrelvo {
public:
    static AnalizeResponseBrelvo& shared();

    static const QString kNoResponseMessage;       // "No response from server"
    static const QString kInvalidResponseMessage;  // "Invalid response from server"

    // For the "auth" answer: true for an error, recording the message of an
    // empty answer or of a web page in the shared error record.
    bool isErrorWithString(const QString& answer) const;
    // Whether the shared authentication is in an error state (an error text,
    // or a response code other than 0).
    bool isError() const;

    // Fills the shared error record from the answer and shows the lock screen.
    void handleErrorFromResponse(const QString& answer) const;
    void updateLockScreenWhenConectionError() const;
    void updateLockScreenContentWithResponse(const QString& answer) const;

    QVariant getPayload(const QString& answer) const;
    // The payload's "requirements" (stores its "page_size" in the transport).
    QVariant getRequirementsArray(const QString& answer) const;
    QVariant detectInProgressRequirement(const QString& answer) const;
    QVariant getRequirement(const QString& answer) const;
    QVariant getRid(const QVariant& requirement) const;
    QVariant getUser(const QString& answer) const;
    QVariant getResponseCode(const QString& answer) const;

    // From the shared authentication: full name, image and role of the tester.
    QStringList getUsers() const;
    QString getToken() const;
    QString getErrorMessage() const;
    std::optional<QList<BrelIssueTypeDM>> detectIssueTypes() const;
    std::optional<QList<BrelIssuePriorityDM>> detectIssuePriorities() const;
    std::optional<QList<BrelRequirementPriority>> detectRuquirementProperties() const;

    // Members of the payload's "revision".
    QString getAppIconPath(const QString& answer) const;
    QString getAppTitle(const QString& answer) const;
    QString getCompanyTitle(const QString& answer) const;
    QString getRevisionNumber(const QString& answer) const;

    // An alert titled "Error" with the text and one "OK" button, on the GUI thread.
    void showAlertWithMessage(const QString& message) const;

    // How the lock screen and the alert are shown. The facade installs these
    // at start-up; until then showing either is only logged.
    using LockScreenPresenter = std::function<void()>;
    using AlertPresenter = std::function<void(const QString& title, const QString& message, const QString& button)>;
    void setPresenters(LockScreenPresenter lockScreen, AlertPresenter alert);

private:
    QString revisionMember(const QString& answer, const char* member) const;
    void showLockScreen() const;

    mutable QMutex mutex_;
    LockScreenPresenter lockScreen_;
    AlertPresenter alert_;
};

}  // namespace brelvo
