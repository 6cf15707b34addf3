#include "platform/Defaults.h"
#include "platform/Json.h"
#include "state/BrelvoDataStore.h"

#include <gtest/gtest.h>

using namespace brelvo;

TEST(DataStore, EachValueIsDurableUnderItsKeyAtOnce) {
    BrelvoDataStore& store = BrelvoDataStore::shared();
    store.saveResponseCode(qint64(3));
    store.saveError(QStringLiteral("Unknown build"));
    store.saveTimeStamp(qint64(1700000000));
    store.saveApiVersion(QStringLiteral("2.1"));

    // Another connection sees only what reached the file.
    Defaults file(Defaults::standard().path());
    EXPECT_EQ(file.object("BrelvoResponseCodePrefKey"), QVariant(qint64(3)));
    EXPECT_EQ(file.object("BrelvoErrorPrefKey"), "Unknown build");
    EXPECT_EQ(file.object("BrelvoTimeStampPrefKey"), QVariant(qint64(1700000000)));
    EXPECT_EQ(file.object("BrelvoApiVersionPrefKey"), "2.1");

    EXPECT_EQ(store.getResponseCode(), QVariant(qint64(3)));
    EXPECT_EQ(store.getApiVersion(), "2.1");
}

TEST(DataStore, FreshStoreHasNoValuesAndAnAbsentOrNullValueLeavesTheStoredOne) {
    BrelvoDataStore& store = BrelvoDataStore::shared();
    EXPECT_FALSE(store.getResponseCode().isValid());
    EXPECT_FALSE(store.getError().isValid());
    EXPECT_FALSE(store.getTimeStamp().isValid());
    EXPECT_FALSE(store.getApiVersion().isValid());

    store.saveTimeStamp(qint64(42));
    store.saveApiVersion(QStringLiteral("1.0"));
    store.saveTimeStamp(QVariant());
    store.saveApiVersion(json::parse("null"));
    EXPECT_EQ(store.getTimeStamp(), QVariant(qint64(42)));
    EXPECT_EQ(store.getApiVersion(), "1.0");

    // A later real value replaces it.
    store.saveTimeStamp(qint64(43));
    EXPECT_EQ(store.getTimeStamp(), QVariant(qint64(43)));
}
