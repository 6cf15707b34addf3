// Service answers (JSON) made into the records the state layer keeps: any
// answer gives records without failing, and each record's stored form gives
// the same record back.

#include "FuzzSupport.h"

#include "platform/Json.h"
#include "platform/PropertyList.h"
#include "state/BrelAuthenticationDM.h"
#include "state/BrelPayloadDM.h"
#include "state/ErrorInfo.h"
#include "state/IssueDM.h"
#include "state/IssuePriority.h"
#include "state/IssueType.h"
#include "state/LogoutSchemeDM.h"
#include "state/OrganizationDM.h"
#include "state/ProjectDM.h"
#include "state/RequirementDM.h"
#include "state/RequirementPriority.h"
#include "state/RevisionDM.h"
#include "state/UserDM.h"

using namespace brelvo;

namespace {

// A record built from the dictionary, rebuilt from its dictionary form as the
// defaults store keeps it (a binary property list).
template <typename Record>
void settingsRecord(const QVariant& dictionary, const char* what) {
    const Record record(dictionary);
    fuzz::require(Record(plist::fromData(plist::toBinary(record.dictionary()))) == record, what);
}

// A record of the payload, rebuilt from its archive.
template <typename Record>
void archivedRecord(const QVariant& dictionary, const char* what) {
    if (const std::optional<Record> record = Record::modelFromDictionary(dictionary)) {
        const std::optional<Record> again = Record::initWithCoder(record->encodeWithCoder());
        fuzz::require(again && *again == *record, what);
    }
}

void everyRecord(const QVariant& value) {
    settingsRecord<RequirementDM>(value, "requirement");
    settingsRecord<IssueDM>(value, "issue");
    settingsRecord<IssueType>(value, "issue type");
    settingsRecord<IssuePriority>(value, "issue priority");
    settingsRecord<RequirementPriority>(value, "requirement priority");
    settingsRecord<LogoutSchemeDM>(value, "logout scheme");
    settingsRecord<OrganizationDM>(value, "organization");
    settingsRecord<ProjectDM>(value, "project");
    settingsRecord<RevisionDM>(value, "revision");
    settingsRecord<UserDM>(value, "user");
    (void)ErrorInfo(value);
    archivedRecord<BrelRevisionDM>(value, "archived revision");
    archivedRecord<BrelUserDM>(value, "archived user");
    archivedRecord<BrelIssueTypeDM>(value, "archived issue type");
    archivedRecord<BrelIssuePriorityDM>(value, "archived issue priority");
    archivedRecord<BrelRequirementPriority>(value, "archived requirement priority");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::prepare();
    const QVariant answer = json::parse(fuzz::bytesOf(data, size));

    // The records are built from the answer's members as well as from the
    // answer itself, one level down and inside arrays.
    everyRecord(answer);
    const QVariantMap members = answer.toMap();
    for (const QVariant& member : members) {
        everyRecord(member);
        for (const QVariant& element : member.toList()) everyRecord(element);
        for (const QVariant& inner : member.toMap()) {
            everyRecord(inner);
            for (const QVariant& element : inner.toList()) everyRecord(element);
        }
    }

    for (const QVariant& candidate : {answer, members.value(QStringLiteral("payload"))}) {
        if (const std::optional<BrelPayloadDM> payload = BrelPayloadDM::modelFromDictionary(candidate)) {
            const std::optional<BrelPayloadDM> again = BrelPayloadDM::fromArchivedData(payload->archivedData());
            fuzz::require(again && *again == *payload, "payload archive");
        }
    }

    // The authentication record takes the answer and archives it.
    BrelAuthenticationDM auth;
    auth.initWithDictionary(answer.typeId() == QMetaType::QVariantMap ? answer : QVariant(QVariantMap()));
    BrelAuthenticationDM restored;
    fuzz::require(restored.initWithCoder(auth.encodeWithCoder()), "authentication archive is a dictionary");
    fuzz::require(restored.encodeWithCoder() == auth.encodeWithCoder(), "authentication archive");
    return 0;
}
