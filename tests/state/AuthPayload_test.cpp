#include "platform/Defaults.h"
#include "platform/Json.h"
#include "platform/PropertyList.h"
#include "state/BrelAuthenticationDM.h"
#include "state/BrelPayloadDM.h"
#include "state/BrelvoDataStore.h"
#include "state/BrelvoIssuePropertiesDM.h"
#include "state/BrelvoIssueTypesDM.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QThread>

#include <atomic>

using namespace brelvo;
using brelvo::test::parseObject;

namespace {

const char* const kFullAnswer = R"({
  "response_code": 0,
  "ts": 1700000123,
  "api_version": "2.1",
  "payload": {
    "access_token": "tok-123",
    "revision": {"title": "Spring", "build_number": "88", "icon": "", "project": "Rocket", "organization": "Acme"},
    "user": {"full_name": "Ann Lee", "image": "https://x/ann.png", "role": "qa"},
    "issue_types": [{"id": 1, "icon": "bug.png", "name": "Bug"}, {"id": 2.5, "name": "Idea"}, "junk"],
    "issue_priorities": [{"id": 3, "name": "High", "icon": "h.png"}, {"id": "4", "name": 7}],
    "requirement_priorities": [{"id": 0, "name": "Low"}, {"id": 9007199254740993, "name": "Big"}]
  }
})";

BrelPayloadDM fullPayload() {
    return *BrelPayloadDM::modelFromDictionary(parseObject(kFullAnswer).value("payload"));
}

const QString kPayloadKey = QStringLiteral("BrelvoPayloadPrefKey");

}  // namespace

TEST(AuthPayloadRecords, OnlyDictionariesMakeRecordsWithNumericIdsAndStringTexts) {
    for (const QVariant& value : {QVariant(), QVariant(QStringLiteral("x")), QVariant(QVariantList{}),
                                  QVariant(qint64(1)), json::parse("null")}) {
        EXPECT_FALSE(BrelPayloadDM::modelFromDictionary(value));
        EXPECT_FALSE(BrelRevisionDM::modelFromDictionary(value));
        EXPECT_FALSE(BrelUserDM::modelFromDictionary(value));
        EXPECT_FALSE(BrelIssueTypeDM::modelFromDictionary(value));
        EXPECT_FALSE(BrelIssuePriorityDM::modelFromDictionary(value));
        EXPECT_FALSE(BrelRequirementPriority::modelFromDictionary(value));
        EXPECT_FALSE(BrelvoIssuePropertiesDM::modelFromDictionary(value));
        EXPECT_FALSE(BrelvoIssueTypesDM::modelFromDictionary(value));
    }
    EXPECT_TRUE(BrelPayloadDM::modelFromDictionary(QVariantMap{}));

    // An id that is no number reads as the integer 0; a text that is no string as an empty one.
    const QVariantMap odd = parseObject(R"({"id": "5", "icon": 3})");
    const auto expectEmpty = [](const auto& model) {
        ASSERT_TRUE(model);
        EXPECT_EQ(model->ID().typeId(), QMetaType::LongLong);
        EXPECT_EQ(model->ID().toLongLong(), 0);
        EXPECT_EQ(model->name(), "");
        EXPECT_FALSE(model->name().isNull());
        EXPECT_EQ(model->icon(), "");
    };
    expectEmpty(BrelIssueTypeDM::modelFromDictionary(odd));
    expectEmpty(BrelvoIssuePropertiesDM::modelFromDictionary(odd));
    expectEmpty(BrelvoIssueTypesDM::modelFromDictionary(odd));

    const auto priority = BrelIssuePriorityDM::modelFromDictionary(parseObject(R"({"id": 2.5, "name": "Mid"})"));
    EXPECT_EQ(priority->ID().typeId(), QMetaType::Double);
    EXPECT_EQ(priority->ID().toDouble(), 2.5);
    EXPECT_EQ(priority->name(), "Mid");
    EXPECT_EQ(BrelRequirementPriority::modelFromDictionary(parseObject(R"({"id": true})"))->ID(), QVariant(qint64(0)));
}

TEST(AuthPayloadRecords, PayloadTakesWhatHasTheRightKind) {
    const BrelPayloadDM payload = fullPayload();
    EXPECT_EQ(payload.access_token(), "tok-123");
    ASSERT_TRUE(payload.revision());
    EXPECT_EQ(payload.revision()->organization(), "Acme");
    EXPECT_EQ(payload.revision()->project(), "Rocket");
    ASSERT_TRUE(payload.user());
    EXPECT_EQ(payload.user()->full_name(), "Ann Lee");
    // Elements that are not dictionaries are skipped; order is kept.
    ASSERT_EQ(payload.issue_types().size(), 2);
    EXPECT_EQ(payload.issue_types()[0].name(), "Bug");
    EXPECT_EQ(payload.issue_types()[1].name(), "Idea");
    EXPECT_EQ(payload.issue_types()[1].icon(), "");
    ASSERT_EQ(payload.issue_priorities().size(), 2);
    EXPECT_EQ(payload.issue_priorities()[1].ID(), QVariant(qint64(0)));
    EXPECT_EQ(payload.issue_priorities()[1].name(), "");

    const auto sparse = BrelPayloadDM::modelFromDictionary(
        parseObject(R"({"access_token": 42, "revision": "r", "issue_types": {"id": 1}})"));
    ASSERT_TRUE(sparse);
    EXPECT_TRUE(sparse->access_token().isNull());
    EXPECT_FALSE(sparse->revision());
    EXPECT_FALSE(sparse->user());
    EXPECT_TRUE(sparse->issue_types().isEmpty());
    EXPECT_TRUE(sparse->requirement_priorities().isEmpty());
}

TEST(AuthPayloadArchive, EveryFieldComesBackExactlyUnderTheArchiveKeysAndUnreadableBytesGiveNone) {
    const BrelPayloadDM payload = fullPayload();
    const auto restored = BrelPayloadDM::fromArchivedData(payload.archivedData());
    ASSERT_TRUE(restored);
    EXPECT_EQ(*restored, payload);
    // Kinds survive too: integers stay integers (beyond double precision), a
    // fraction stays a double, an empty text stays a text.
    EXPECT_EQ(restored->issue_types()[0].ID().typeId(), QMetaType::LongLong);
    EXPECT_EQ(restored->issue_types()[1].ID().typeId(), QMetaType::Double);
    EXPECT_EQ(restored->requirement_priorities()[1].ID().toLongLong(), 9007199254740993LL);
    EXPECT_FALSE(restored->revision()->icon().isNull());

    // A payload without revision, user or token stays without them.
    const auto bare = BrelPayloadDM::modelFromDictionary(QVariantMap{});
    const auto bareRestored = BrelPayloadDM::fromArchivedData(bare->archivedData());
    ASSERT_TRUE(bareRestored);
    EXPECT_EQ(*bareRestored, *bare);
    EXPECT_TRUE(bareRestored->access_token().isNull());

    // Unreadable bytes give no payload.
    EXPECT_FALSE(BrelPayloadDM::fromArchivedData(QByteArray()));
    EXPECT_FALSE(BrelPayloadDM::fromArchivedData("bplist00\xff\xff garbage"));
    EXPECT_FALSE(BrelPayloadDM::fromArchivedData(payload.archivedData().left(40)));
    EXPECT_FALSE(BrelPayloadDM::fromArchivedData(plist::toBinary(QVariantList{1, 2})));

    const QVariantMap archive = plist::fromData(fullPayload().archivedData()).toMap();
    EXPECT_EQ(archive.value("Payload_access_token"), "tok-123");
    EXPECT_EQ(archive.value("Payload_revision").toMap().value("Revision_build_number"), "88");
    EXPECT_EQ(archive.value("Payload_user").toMap().value("User_role"), "qa");
    EXPECT_EQ(archive.value("Payload_issue_types").toList().value(0).toMap().value("Type_icon"), "bug.png");
    EXPECT_EQ(archive.value("Payload_issue_priorities").toList().value(0).toMap().value("Priority_ID"), 3);
    EXPECT_EQ(archive.value("Payload_requirement_priorities").toList().value(0).toMap().value("Req_Priority_name"),
              "Low");
}

TEST(AuthenticationRecord, FullAnswerIsRestoredExactlyByAFreshRecord) {
    BrelAuthenticationDM::shared().initWithDictionary(json::parse(kFullAnswer));
    const BrelAuthenticationDM& live = BrelAuthenticationDM::shared();
    EXPECT_EQ(live.response_code(), QVariant(qint64(0)));
    EXPECT_EQ(live.ts(), QVariant(qint64(1700000123)));
    EXPECT_EQ(live.api_version(), "2.1");
    ASSERT_TRUE(live.payload());
    EXPECT_EQ(*live.payload(), fullPayload());
    EXPECT_EQ(BrelvoDataStore::shared().getApiVersion(), "2.1");

    BrelAuthenticationDM fresh;
    fresh.initWithDictionary(QVariant());
    EXPECT_EQ(fresh.response_code(), live.response_code());
    EXPECT_EQ(fresh.response_code().typeId(), QMetaType::LongLong);
    EXPECT_EQ(fresh.ts(), live.ts());
    EXPECT_EQ(fresh.ts().typeId(), QMetaType::LongLong);
    EXPECT_EQ(fresh.api_version(), live.api_version());
    EXPECT_TRUE(fresh.error().isNull());
    ASSERT_TRUE(fresh.payload());
    EXPECT_EQ(*fresh.payload(), *live.payload());

    // A record's own archive form carries it whole as well.
    BrelAuthenticationDM copy;
    ASSERT_TRUE(copy.initWithCoder(plist::fromData(plist::toBinary(live.encodeWithCoder()))));
    EXPECT_EQ(copy.encodeWithCoder(), live.encodeWithCoder());
    EXPECT_EQ(*copy.payload(), *live.payload());
}

TEST(AuthenticationRecord, BadMembersNeverEraseAnEarlierGoodAnswer) {
    BrelAuthenticationDM auth;
    auth.initWithDictionary(json::parse(kFullAnswer));

    auth.initWithDictionary(parseObject(R"({"response_code": -1, "ts": 0, "api_version": 3, "payload": "x"})"));
    EXPECT_EQ(auth.response_code(), QVariant(qint64(0)));
    EXPECT_EQ(auth.ts(), QVariant(qint64(1700000123)));
    EXPECT_EQ(auth.api_version(), "2.1");
    EXPECT_EQ(*auth.payload(), fullPayload());
    EXPECT_EQ(BrelvoDataStore::shared().getResponseCode(), QVariant(qint64(0)));

    // A time stamp that is missing, null or of no numeric kind falls back to the stored one.
    auth.initWithDictionary(parseObject(R"({"response_code": "5", "ts": {"a": 1}})"));
    EXPECT_EQ(auth.response_code(), QVariant(qint64(0)));
    EXPECT_EQ(auth.ts(), QVariant(qint64(1700000123)));
    auth.initWithDictionary(parseObject(R"({"ts": null})"));
    EXPECT_EQ(auth.ts(), QVariant(qint64(1700000123)));
    auth.initWithDictionary(QVariantMap{});
    EXPECT_EQ(auth.ts(), QVariant(qint64(1700000123)));

    // The archive still holds the earlier payload for the next process.
    BrelAuthenticationDM next;
    next.initWithDictionary(QVariant());
    ASSERT_TRUE(next.payload());
    EXPECT_EQ(*next.payload(), fullPayload());

    // A newer good answer replaces both.
    auth.initWithDictionary(parseObject(R"({"response_code": 2, "ts": 1700000999, "payload": {"access_token": "t2"}})"));
    EXPECT_EQ(auth.response_code(), QVariant(qint64(2)));
    EXPECT_EQ(BrelvoDataStore::shared().getTimeStamp(), QVariant(qint64(1700000999)));
    next.initWithDictionary(QVariant());
    EXPECT_EQ(next.payload()->access_token(), "t2");
    EXPECT_FALSE(next.payload()->revision());
}

TEST(AuthenticationRecord, NeverAuthenticatedOrDamagedArchiveGivesNoPayloadAndNoCrash) {
    BrelAuthenticationDM never;
    never.initWithDictionary(QVariant());
    EXPECT_FALSE(never.response_code().isValid());
    EXPECT_FALSE(never.ts().isValid());
    EXPECT_TRUE(never.api_version().isNull());
    EXPECT_TRUE(never.error().isNull());
    EXPECT_FALSE(never.payload());

    Defaults& store = Defaults::standard();
    for (const QVariant& damaged : {QVariant(QByteArray("bplist00\x01\x02 not an archive")),
                                    QVariant(fullPayload().archivedData().chopped(12)),
                                    QVariant(plist::toBinary(QStringLiteral("a string"))),
                                    QVariant(QStringLiteral("not even data"))}) {
        store.setObject(damaged, kPayloadKey);
        BrelAuthenticationDM auth;
        auth.initWithDictionary(QVariant());
        EXPECT_FALSE(auth.payload());
    }
}

TEST(AuthenticationRecord, ReadersOnOtherThreadsSeeWholeValues) {
    BrelAuthenticationDM auth;
    const QVariantMap first = parseObject(kFullAnswer);
    QVariantMap second = first;
    QVariantMap payload = second.value("payload").toMap();
    payload.insert("access_token", QStringLiteral("second-token-long-enough-to-allocate"));
    second.insert("payload", payload);
    second.insert("api_version", QStringLiteral("9.9-with-a-long-tail"));

    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    QThread* reader = QThread::create([&] {
        while (!done.load()) {
            const auto p = auth.payload();
            const QString version = auth.api_version();
            if (p && p->access_token() != "tok-123" && p->access_token() != "second-token-long-enough-to-allocate")
                ++torn;
            if (!version.isNull() && version != "2.1" && version != "9.9-with-a-long-tail") ++torn;
        }
    });
    reader->start();
    for (int i = 0; i < 60; ++i) auth.initWithDictionary(i % 2 ? second : first);
    done = true;
    reader->wait();
    delete reader;
    EXPECT_EQ(torn.load(), 0);
}
