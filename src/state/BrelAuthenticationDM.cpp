#include "state/BrelAuthenticationDM.h"

#include "platform/Defaults.h"
#include "platform/Log.h"
#include "state/BrelvoDataStore.h"
#include "state/RecordValues.h"

namespace brelvo {

namespace {
const QString kPayloadKey = QStringLiteral("BrelvoPayloadPrefKey");

const QString kResponseCode = QStringLiteral("response_code");
const QString kTs = QStringLiteral("ts");
const QString kApiVersion = QStringLiteral("api_version");
const QString kPayload = QStringLiteral("payload");

const QString kArchiveResponseCode = QStringLiteral("Auth_response_code");
const QString kArchiveError = QStringLiteral("Auth_error");
const QString kArchiveTs = QStringLiteral("Auth_ts");
const QString kArchiveApiVersion = QStringLiteral("Auth_api_version");
const QString kArchivePayload = QStringLiteral("Auth_payload");

QString stringOrNone(const QVariant& value) {
    return value.typeId() == QMetaType::QString ? records::stringOrEmpty(value) : QString();
}
}  // namespace

BrelAuthenticationDM& BrelAuthenticationDM::shared() {
    static BrelAuthenticationDM instance;
    return instance;
}

QVariant BrelAuthenticationDM::response_code() const {
    QMutexLocker lock(&mutex_);
    return fields_.response_code;
}

QString BrelAuthenticationDM::error() const {
    QMutexLocker lock(&mutex_);
    return fields_.error;
}

QVariant BrelAuthenticationDM::ts() const {
    QMutexLocker lock(&mutex_);
    return fields_.ts;
}

QString BrelAuthenticationDM::api_version() const {
    QMutexLocker lock(&mutex_);
    return fields_.api_version;
}

std::optional<BrelPayloadDM> BrelAuthenticationDM::payload() const {
    QMutexLocker lock(&mutex_);
    return fields_.payload;
}

BrelAuthenticationDM::Fields BrelAuthenticationDM::snapshot() const {
    QMutexLocker lock(&mutex_);
    return fields_;
}

void BrelAuthenticationDM::initWithDictionary(const QVariant& answerOrNone) {
    QMutexLocker update(&updateMutex_);
    // The store is written (and synchronised to disk) outside the field lock,
    // so that readers on the GUI thread never wait for the disk.
    Fields next = answerOrNone.typeId() == QMetaType::QVariantMap
                      ? updatedFromAnswer(snapshot(), answerOrNone.toMap())
                      : restoredFromStore(snapshot());
    QMutexLocker lock(&mutex_);
    fields_ = std::move(next);
}

BrelAuthenticationDM::Fields BrelAuthenticationDM::updatedFromAnswer(Fields fields, const QVariantMap& answer) const {
    BrelvoDataStore& store = BrelvoDataStore::shared();

    const QVariant code = answer.value(kResponseCode);
    if (records::isNumber(code) && records::integerValue(code) >= 0) {
        fields.response_code = code;
        store.saveResponseCode(code);
    }

    // A zero or missing time stamp means the service sent none worth keeping:
    // the last stored one stands in for it.
    fields.ts = answer.value(kTs);
    if (records::integerValue(fields.ts) != 0)
        store.saveTimeStamp(fields.ts);
    else
        fields.ts = store.getTimeStamp();

    const QVariant apiVersion = answer.value(kApiVersion);
    if (apiVersion.typeId() == QMetaType::QString) {
        fields.api_version = records::stringOrEmpty(apiVersion);
        store.saveApiVersion(fields.api_version);
    }

    if (std::optional<BrelPayloadDM> payload = BrelPayloadDM::modelFromDictionary(answer.value(kPayload))) {
        Defaults& defaults = Defaults::standard();
        defaults.setObject(payload->archivedData(), kPayloadKey);
        defaults.synchronize();
        fields.payload = std::move(payload);
    }
    return fields;
}

BrelAuthenticationDM::Fields BrelAuthenticationDM::restoredFromStore(Fields fields) const {
    const BrelvoDataStore& store = BrelvoDataStore::shared();
    fields.response_code = store.getResponseCode();
    fields.ts = store.getTimeStamp();
    fields.api_version = stringOrNone(store.getApiVersion());

    const QVariant archived = Defaults::standard().object(kPayloadKey);
    if (archived.isValid()) {
        fields.payload = archived.typeId() == QMetaType::QByteArray
                             ? BrelPayloadDM::fromArchivedData(archived.toByteArray())
                             : std::nullopt;
        if (!fields.payload)
            qCWarning(lcBrelvo) << "the stored authentication payload cannot be read; continuing without it";
    }
    return fields;
}

QVariantMap BrelAuthenticationDM::encodeWithCoder() const {
    const Fields fields = snapshot();
    QVariantMap archive;
    records::insertValue(archive, kArchiveResponseCode, fields.response_code);
    records::insertText(archive, kArchiveError, fields.error);
    records::insertValue(archive, kArchiveTs, fields.ts);
    records::insertText(archive, kArchiveApiVersion, fields.api_version);
    if (fields.payload) archive.insert(kArchivePayload, fields.payload->encodeWithCoder());
    return archive;
}

bool BrelAuthenticationDM::initWithCoder(const QVariant& archive) {
    if (archive.typeId() != QMetaType::QVariantMap) return false;
    const QVariantMap map = archive.toMap();
    Fields fields;
    fields.response_code = records::withoutNull(map.value(kArchiveResponseCode));
    fields.error = stringOrNone(map.value(kArchiveError));
    fields.ts = records::withoutNull(map.value(kArchiveTs));
    fields.api_version = stringOrNone(map.value(kArchiveApiVersion));
    fields.payload = BrelPayloadDM::initWithCoder(map.value(kArchivePayload));
    QMutexLocker update(&updateMutex_);
    QMutexLocker lock(&mutex_);
    fields_ = std::move(fields);
    return true;
}

}  // namespace brelvo
