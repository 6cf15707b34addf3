#include "state/BrelvoDataStore.h"

#include "platform/Defaults.h"

namespace brelvo {

namespace {
const QString kResponseCodeKey = QStringLiteral("BrelvoResponseCodePrefKey");
const QString kErrorKey = QStringLiteral("BrelvoErrorPrefKey");
const QString kTimeStampKey = QStringLiteral("BrelvoTimeStampPrefKey");
const QString kApiVersionKey = QStringLiteral("BrelvoApiVersionPrefKey");

void save(const QVariant& value, const QString& key) {
    // An answer that lacks the member must not erase what an earlier one left.
    if (!value.isValid() || value.typeId() == QMetaType::Nullptr) return;
    Defaults& store = Defaults::standard();
    store.setObject(value, key);
    store.synchronize();
}
}  // namespace

BrelvoDataStore& BrelvoDataStore::shared() {
    static BrelvoDataStore instance;
    return instance;
}

void BrelvoDataStore::saveResponseCode(const QVariant& value) { save(value, kResponseCodeKey); }
QVariant BrelvoDataStore::getResponseCode() const { return Defaults::standard().object(kResponseCodeKey); }

void BrelvoDataStore::saveError(const QVariant& value) { save(value, kErrorKey); }
QVariant BrelvoDataStore::getError() const { return Defaults::standard().object(kErrorKey); }

void BrelvoDataStore::saveTimeStamp(const QVariant& value) { save(value, kTimeStampKey); }
QVariant BrelvoDataStore::getTimeStamp() const { return Defaults::standard().object(kTimeStampKey); }

void BrelvoDataStore::saveApiVersion(const QVariant& value) { save(value, kApiVersionKey); }
QVariant BrelvoDataStore::getApiVersion() const { return Defaults::standard().object(kApiVersionKey); }

}  // namespace brelvo
