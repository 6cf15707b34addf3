// The crash queue: appends from many threads, durability, a resend that fails
// keeping every report as it was taken, and one that succeeds removing each
// report only once it is out.
#include "diagnostics/CrashHelper.h"
#include "platform/Defaults.h"
#include "protocol/DeliveryId.h"
#include "protocol/NetworkClientBrelvo.h"
#include "support/LocalHttpServer.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace brelvo;

namespace {

const QString kKey = QString::fromLatin1(CrashHelper::kCrashesKey);

class CrashQueue : public ::testing::Test {
protected:
    void SetUp() override {
        Defaults::standard().removeObject(kKey);
        Defaults::standard().synchronize();
        // Nothing listens there: every send fails.
        qApp->setProperty("brelvo_service_url", QStringLiteral("http://127.0.0.1:1/"));
        NetworkClientBrelvo::shared().setTimeout(std::chrono::milliseconds(3000));
    }
};

}  // namespace

TEST_F(CrashQueue, AFailedPostQueuesTheReportAsItWasTakenAndAddCrashLogTakesAFreshStateAndTheSessionValues) {
    CrashHelper::postCrash(QStringLiteral("boom"), QStringLiteral("tok"), QByteArray(R"({"m":1})"), QStringLiteral("7"),
                           QStringLiteral("u1"));
    // Durable: a second store on the same file reads it.
    Defaults other(Defaults::standard().path());
    const QVariantList q = other.object(kKey).toList();
    ASSERT_EQ(q.size(), 1);
    const QVariantMap e = q[0].toMap();
    EXPECT_EQ(e.value("crash").toString(), "boom");
    EXPECT_EQ(e.value("token").toString(), "tok");
    EXPECT_EQ(e.value("state").toString(), R"({"m":1})");
    EXPECT_EQ(e.value("rid").toString(), "7");
    EXPECT_EQ(e.value("uid").toString(), "u1");

    NetworkClientBrelvo::shared().setToken(QStringLiteral("session-token"));
    NetworkClientBrelvo::shared().setRrid(QStringLiteral("42"));
    CrashHelper::shared().addCrashLog(QStringLiteral("late"));
    const QVariantList both = CrashHelper::queuedCrashes();
    ASSERT_EQ(both.size(), 2);
    const QVariantMap late = both[1].toMap();
    EXPECT_EQ(late.value("token").toString(), "session-token");
    EXPECT_EQ(late.value("rid").toString(), "42");
    EXPECT_FALSE(late.value("state").toString().isEmpty());
    EXPECT_FALSE(late.contains("uid"));  // no "UserID" stored
}

TEST_F(CrashQueue, ACorruptStoredValueReadsAsEmptyAndConcurrentAppendsAllLand) {
    Defaults::standard().setObject(QStringLiteral("garbage"), kKey);
    EXPECT_TRUE(CrashHelper::queuedCrashes().isEmpty());
    EXPECT_EQ(CrashHelper::shared().sendOldCrashesNow(), 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 10; ++i)
                CrashHelper::queueCrash(QStringLiteral("c%1-%2").arg(t).arg(i), QByteArray("{}"), QString());
        });
    }
    for (std::thread& th : threads) th.join();
    EXPECT_EQ(CrashHelper::queuedCrashes().size(), 80);
}

TEST_F(CrashQueue, AFailingResendKeepsEveryReportInOrderAsItWasTaken) {
    CrashHelper::queueCrash(QStringLiteral("first"), QByteArray("{\"s\":1}"), QStringLiteral("1"));
    CrashHelper::queueCrash(QStringLiteral("second"), QByteArray("{\"s\":2}"), QStringLiteral("2"));
    EXPECT_EQ(CrashHelper::shared().sendOldCrashesNow(), 0);
    const QVariantList q = CrashHelper::queuedCrashes();
    ASSERT_EQ(q.size(), 2);
    EXPECT_EQ(q[0].toMap().value("crash").toString(), "first");
    EXPECT_EQ(q[0].toMap().value("state").toString(), "{\"s\":1}");  // not a fresh state
    EXPECT_EQ(q[1].toMap().value("crash").toString(), "second");
}

TEST_F(CrashQueue, EachReportLeavesTheQueueOnlyAfterItsDelivery) {
    // What a process killed during the send would leave on disk is looked at
    // from inside the send itself.
    std::mutex mutex;
    QList<int> storedWhileSending;
    QStringList received;
    test::LocalHttpServer http;
    http.server().Post("/api/1_0/lib/post_crash", [&](const httplib::Request& req, httplib::Response& res) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            received.append(QString::fromStdString(req.body));
            storedWhileSending.append(int(Defaults(Defaults::standard().path()).object(kKey).toList().size()));
        }
        res.set_content(R"({"response_code":0,"payload":null})", "application/json");
    });
    http.start();
    qApp->setProperty("brelvo_service_url", http.url());

    CrashHelper::queueCrash(QStringLiteral("first"), QByteArray("{}"), QString());
    CrashHelper::queueCrash(QString(), QByteArray("{}"), QString());  // nothing to report: never sent
    CrashHelper::queueCrash(QStringLiteral("second"), QByteArray("{}"), QString());
    EXPECT_EQ(CrashHelper::shared().sendOldCrashesNow(), 2);
    EXPECT_TRUE(CrashHelper::queuedCrashes().isEmpty());
    std::lock_guard<std::mutex> lock(mutex);
    ASSERT_EQ(received.size(), 2);
    EXPECT_EQ(storedWhileSending, (QList<int>{3, 1}));
}

TEST_F(CrashQueue, AReportGoesOutUnderOneIdentifierHoweverOftenItIsSent) {
    std::mutex mutex;
    std::vector<std::string> ids;
    bool answer = false;
    test::LocalHttpServer http;
    http.server().Post("/api/1_0/lib/post_crash", [&](const httplib::Request& req, httplib::Response& res) {
        std::lock_guard<std::mutex> lock(mutex);
        ids.push_back(req.get_header_value(delivery::kHeader));
        if (answer) res.set_content(R"({"response_code":0,"payload":null})", "application/json");
        else res.status = 500;  // no answer to read: not delivered
    });
    http.start();
    qApp->setProperty("brelvo_service_url", http.url());

    // Queued by an earlier version: no identifier yet.
    Defaults::standard().setObject(
        QVariantList{QVariantMap{{"crash", "earlier"}, {"state", "{}"}, {"token", "t"}, {"rid", ""}}}, kKey);
    // A crash file slot queued twice (a start killed before it emptied the file) is one report.
    const QString slotId = delivery::newId();
    for (int i = 0; i < 2; ++i)
        CrashHelper::queueCrashAsTaken(QStringLiteral("from the file"), "{}", QStringLiteral("t"), QString(), QString(), slotId);
    ASSERT_EQ(CrashHelper::queuedCrashes().size(), 2);

    EXPECT_EQ(CrashHelper::shared().sendOldCrashesNow(), 0);
    const QString given = CrashHelper::queuedCrashes().value(0).toMap().value(delivery::kEntryKey).toString();
    EXPECT_TRUE(delivery::isId(given)) << "given one, durably, before it was sent";
    {
        std::lock_guard<std::mutex> lock(mutex);
        answer = true;
    }
    EXPECT_EQ(CrashHelper::shared().sendOldCrashesNow(), 2);
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_EQ(ids, (std::vector<std::string>{given.toStdString(), given.toStdString(), slotId.toStdString()}));
}

