#include "state/RequirementDM.h"

#include "state/RecordValues.h"

namespace brelvo {

namespace {
const QString kStoreKey = QStringLiteral("Requirement");
const QString kArrayStoreKey = QStringLiteral("AvailableRequirements");
const QString kRid = QStringLiteral("rid");
const QString kCode = QStringLiteral("code");
const QString kKind = QStringLiteral("kind");
const QString kPriority = QStringLiteral("priority");
const QString kTitle = QStringLiteral("title");
const QString kDescription = QStringLiteral("description");
const QString kActor = QStringLiteral("actor");
const QString kAction = QStringLiteral("action");
const QString kExpResult = QStringLiteral("exp_result");
const QString kReference = QStringLiteral("reference");

// A number comes back from the store as qint64 or double; holding it in that
// form from the start keeps a stored and restored record equal to the original.
QVariant field(const QVariantMap& map, const QString& key) {
    return records::normalisedNumber(records::withoutNull(map.value(key)));
}
}  // namespace

RequirementDM::RequirementDM(const QVariant& dictionary) {
    const QVariantMap map = records::mapOf(dictionary);
    requirementID_ = field(map, kRid);
    code_ = field(map, kCode);
    kind_ = field(map, kKind);
    priority_ = field(map, kPriority);
    title_ = field(map, kTitle);
    description_ = field(map, kDescription);
    actor_ = field(map, kActor);
    action_ = field(map, kAction);
    expResult_ = field(map, kExpResult);
    reference_ = field(map, kReference);
}

QVariantMap RequirementDM::dictionary() const {
    QVariantMap map;
    records::insertValue(map, kRid, requirementID_);
    records::insertValue(map, kCode, code_);
    records::insertValue(map, kKind, kind_);
    records::insertValue(map, kPriority, priority_);
    records::insertValue(map, kTitle, title_);
    records::insertValue(map, kDescription, description_);
    records::insertValue(map, kActor, actor_);
    records::insertValue(map, kAction, action_);
    records::insertValue(map, kExpResult, expResult_);
    records::insertValue(map, kReference, reference_);
    return map;
}

void RequirementDM::saveRequirement() const {
    records::storeAndSynchronize(dictionary(), kStoreKey);
}

RequirementDM RequirementDM::restoreRequirement() {
    return RequirementDM(records::storedValue(kStoreKey));
}

void RequirementDM::saveRequirements(const QList<RequirementDM>& requirements) {
    records::saveArray(requirements, kArrayStoreKey);
}

QList<RequirementDM> RequirementDM::restoreRequirements() {
    return records::restoreArray<RequirementDM>(kArrayStoreKey);
}

}  // namespace brelvo
