#include "state/BrelPayloadDM.h"

#include "platform/PropertyList.h"
#include "state/RecordValues.h"

namespace brelvo {

namespace {
const QString kAccessToken = QStringLiteral("access_token");
const QString kRevision = QStringLiteral("revision");
const QString kUser = QStringLiteral("user");
const QString kIssueTypes = QStringLiteral("issue_types");
const QString kIssuePriorities = QStringLiteral("issue_priorities");
const QString kRequirementPriorities = QStringLiteral("requirement_priorities");

const QString kArchiveAccessToken = QStringLiteral("Payload_access_token");
const QString kArchiveRevision = QStringLiteral("Payload_revision");
const QString kArchiveUser = QStringLiteral("Payload_user");
const QString kArchiveIssueTypes = QStringLiteral("Payload_issue_types");
const QString kArchiveIssuePriorities = QStringLiteral("Payload_issue_priorities");
const QString kArchiveRequirementPriorities = QStringLiteral("Payload_requirement_priorities");

// One record per element the decoder accepts, in order. A value that is not
// an array gives none.
template <typename Record, typename Decoder>
QList<Record> decodeList(const QVariant& value, Decoder decode) {
    QList<Record> list;
    if (value.typeId() != QMetaType::QVariantList) return list;
    for (const QVariant& element : value.toList())
        if (std::optional<Record> record = decode(element)) list.append(*record);
    return list;
}

template <typename Record>
QVariantList encodeList(const QList<Record>& list) {
    QVariantList encoded;
    encoded.reserve(list.size());
    for (const Record& record : list) encoded.append(record.encodeWithCoder());
    return encoded;
}
}  // namespace

std::optional<BrelPayloadDM> BrelPayloadDM::modelFromDictionary(const QVariant& dictionary) {
    if (dictionary.typeId() != QMetaType::QVariantMap) return std::nullopt;
    const QVariantMap map = dictionary.toMap();
    BrelPayloadDM payload;
    const QVariant token = map.value(kAccessToken);
    if (token.typeId() == QMetaType::QString) payload.access_token_ = records::stringOrEmpty(token);
    payload.revision_ = BrelRevisionDM::modelFromDictionary(map.value(kRevision));
    payload.user_ = BrelUserDM::modelFromDictionary(map.value(kUser));
    payload.issue_types_ = decodeList<BrelIssueTypeDM>(map.value(kIssueTypes), &BrelIssueTypeDM::modelFromDictionary);
    payload.issue_priorities_ =
        decodeList<BrelIssuePriorityDM>(map.value(kIssuePriorities), &BrelIssuePriorityDM::modelFromDictionary);
    payload.requirement_priorities_ = decodeList<BrelRequirementPriority>(
        map.value(kRequirementPriorities), &BrelRequirementPriority::modelFromDictionary);
    return payload;
}

QVariantMap BrelPayloadDM::encodeWithCoder() const {
    QVariantMap archive;
    records::insertText(archive, kArchiveAccessToken, access_token_);
    if (revision_) archive.insert(kArchiveRevision, revision_->encodeWithCoder());
    if (user_) archive.insert(kArchiveUser, user_->encodeWithCoder());
    archive.insert(kArchiveIssueTypes, encodeList(issue_types_));
    archive.insert(kArchiveIssuePriorities, encodeList(issue_priorities_));
    archive.insert(kArchiveRequirementPriorities, encodeList(requirement_priorities_));
    return archive;
}

std::optional<BrelPayloadDM> BrelPayloadDM::initWithCoder(const QVariant& archive) {
    if (archive.typeId() != QMetaType::QVariantMap) return std::nullopt;
    const QVariantMap map = archive.toMap();
    BrelPayloadDM payload;
    payload.access_token_ = records::textOf(map.value(kArchiveAccessToken));
    payload.revision_ = BrelRevisionDM::initWithCoder(map.value(kArchiveRevision));
    payload.user_ = BrelUserDM::initWithCoder(map.value(kArchiveUser));
    payload.issue_types_ = decodeList<BrelIssueTypeDM>(map.value(kArchiveIssueTypes), &BrelIssueTypeDM::initWithCoder);
    payload.issue_priorities_ =
        decodeList<BrelIssuePriorityDM>(map.value(kArchiveIssuePriorities), &BrelIssuePriorityDM::initWithCoder);
    payload.requirement_priorities_ = decodeList<BrelRequirementPriority>(
        map.value(kArchiveRequirementPriorities), &BrelRequirementPriority::initWithCoder);
    return payload;
}

QByteArray BrelPayloadDM::archivedData() const {
    return plist::toBinary(encodeWithCoder());
}

std::optional<BrelPayloadDM> BrelPayloadDM::fromArchivedData(const QByteArray& bytes) {
    return initWithCoder(plist::fromData(bytes));
}

}  // namespace brelvo
