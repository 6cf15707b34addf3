#pragma once

#include "state/BrelPayloadDM.h"

#include <QMutex>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <optional>

namespace brelvo {

// The current authentication: the last good answer of the "auth" call, or
// what an offline start restored of it. The payload is archived under
// "BrelvoPayloadPrefKey" so that a later start without network can go on.
//
// Written on a pool thread and read on the GUI thread, so every accessor
// returns a copy taken under a lock.
class BrelAuthenticationDM {
public:
    static BrelAuthenticationDM& shared();

    BrelAuthenticationDM() = default;
    BrelAuthenticationDM(const BrelAuthenticationDM&) = delete;
    BrelAuthenticationDM& operator=(const BrelAuthenticationDM&) = delete;

    QVariant response_code() const;
    QString error() const;
    QVariant ts() const;
    QString api_version() const;
    std::optional<BrelPayloadDM> payload() const;

    // With an answer (a dictionary): takes its members one by one, each only
    // when it has the right kind, so that a partial answer never erases what
    // a good earlier one stored; stores what it took.
    // With anything else (none): replaces the fields by the stored values.
    void initWithDictionary(const QVariant& answerOrNone);

    // The record under "Auth_response_code", "Auth_error", "Auth_ts",
    // "Auth_api_version" and "Auth_payload"; fields without value are left out.
    QVariantMap encodeWithCoder() const;
    // Replaces every field by the archive's; false (and nothing changed) when
    // the archive is no dictionary.
    bool initWithCoder(const QVariant& archive);

private:
    struct Fields {
        QVariant response_code;
        QString error;
        QVariant ts;
        QString api_version;
        std::optional<BrelPayloadDM> payload;
    };

    Fields snapshot() const;
    Fields updatedFromAnswer(Fields fields, const QVariantMap& answer) const;
    Fields restoredFromStore(Fields fields) const;

    QMutex updateMutex_;    // one update at a time, so stored and held values agree
    mutable QMutex mutex_;  // guards fields_; never held across store access
    Fields fields_;
};

}  // namespace brelvo
