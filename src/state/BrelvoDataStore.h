#pragma once

#include <QVariant>

#include <atomic>

namespace brelvo {

// The four values of the last authentication answer that an offline start
// needs, kept in the defaults store. Safe to use from any thread.
class BrelvoDataStore {
public:
    static BrelvoDataStore& shared();

    BrelvoDataStore(const BrelvoDataStore&) = delete;
    BrelvoDataStore& operator=(const BrelvoDataStore&) = delete;

    // Each save ignores a value without content (none or a JSON null) and
    // otherwise stores it and makes it durable at once. Each get returns the
    // stored value, or none.
    void saveResponseCode(const QVariant& value);
    QVariant getResponseCode() const;
    void saveError(const QVariant& value);
    QVariant getError() const;
    void saveTimeStamp(const QVariant& value);
    QVariant getTimeStamp() const;
    void saveApiVersion(const QVariant& value);
    QVariant getApiVersion() const;

    quint64 ts() const { return ts_.load(); }
    void setTs(quint64 ts) { ts_.store(ts); }

private:
    BrelvoDataStore() = default;

    std::atomic<quint64> ts_{0};
};

}  // namespace brelvo
