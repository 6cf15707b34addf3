#pragma once

#include "state/BrelIssuePriorityDM.h"
#include "state/BrelIssueTypeDM.h"
#include "state/BrelRequirementPriority.h"
#include "state/BrelRevisionDM.h"
#include "state/BrelUserDM.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <optional>

namespace brelvo {

// The "payload" of the authentication answer: everything a session needs, and
// what an offline start continues from. Archived under "Payload_access_token",
// "Payload_revision", "Payload_user", "Payload_issue_types",
// "Payload_issue_priorities" and "Payload_requirement_priorities".
class BrelPayloadDM {
public:
    // "access_token" when it is a string; "revision" and "user" when they are
    // dictionaries; the three arrays element by element, in order, skipping
    // elements that are not dictionaries (a missing array is empty).
    // None unless given a dictionary.
    static std::optional<BrelPayloadDM> modelFromDictionary(const QVariant& dictionary);

    QVariantMap encodeWithCoder() const;
    // None unless given a dictionary. Fields missing from the archive stay
    // without value; elements that cannot be decoded are skipped.
    static std::optional<BrelPayloadDM> initWithCoder(const QVariant& archive);

    // The stored form: a binary property list of encodeWithCoder().
    QByteArray archivedData() const;
    // None when the bytes are no property list or hold no dictionary.
    static std::optional<BrelPayloadDM> fromArchivedData(const QByteArray& bytes);

    QString access_token() const { return access_token_; }
    std::optional<BrelRevisionDM> revision() const { return revision_; }
    std::optional<BrelUserDM> user() const { return user_; }
    QList<BrelIssueTypeDM> issue_types() const { return issue_types_; }
    QList<BrelIssuePriorityDM> issue_priorities() const { return issue_priorities_; }
    QList<BrelRequirementPriority> requirement_priorities() const { return requirement_priorities_; }

    bool operator==(const BrelPayloadDM&) const = default;

private:
    QString access_token_;
    std::optional<BrelRevisionDM> revision_;
    std::optional<BrelUserDM> user_;
    QList<BrelIssueTypeDM> issue_types_;
    QList<BrelIssuePriorityDM> issue_priorities_;
    QList<BrelRequirementPriority> requirement_priorities_;
};

}  // namespace brelvo
