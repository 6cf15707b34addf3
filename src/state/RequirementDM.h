#pragma once

#include <QList>
#include <QVariant>
#include <QVariantMap>

namespace brelvo {

// One test requirement of the revision. The fields keep the values exactly as
// the answer holds them (the service sends some as numbers, some as text).
// One record is kept under "Requirement", the list under "AvailableRequirements".
class RequirementDM {
public:
    // Copies "rid", "code", "kind", "priority", "title", "description",
    // "actor", "action", "exp_result" and "reference". A JSON null counts as
    // no value. Anything but a dictionary gives an empty record.
    explicit RequirementDM(const QVariant& dictionary = {});

    QVariant requirementID() const { return requirementID_; }
    QVariant code() const { return code_; }
    QVariant kind() const { return kind_; }
    QVariant priority() const { return priority_; }
    QVariant title() const { return title_; }
    QVariant description() const { return description_; }
    QVariant actor() const { return actor_; }
    QVariant action() const { return action_; }
    QVariant expResult() const { return expResult_; }
    QVariant reference() const { return reference_; }
    // Not carried by the dictionary form; always without value.
    QVariant status() const { return status_; }

    QVariantMap dictionary() const;
    void saveRequirement() const;
    static RequirementDM restoreRequirement();
    static void saveRequirements(const QList<RequirementDM>& requirements);
    static QList<RequirementDM> restoreRequirements();

    bool operator==(const RequirementDM&) const = default;

private:
    QVariant requirementID_;
    QVariant code_;
    QVariant kind_;
    QVariant priority_;
    QVariant title_;
    QVariant description_;
    QVariant actor_;
    QVariant action_;
    QVariant expResult_;
    QVariant reference_;
    QVariant status_;
};

}  // namespace brelvo
