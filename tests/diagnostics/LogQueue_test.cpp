// The host's log lines and the stored log batches: nothing is lost whatever
// the threads, the bound of the memory queue, or a failing service do.
#include <brelvo/Brelvo.h>

#include "diagnostics/LogHelper.h"
#include "diagnostics/StoredLogBatches.h"
#include "platform/Defaults.h"
#include "protocol/DeliveryId.h"
#include "protocol/NetworkClientBrelvo.h"
#include "support/LocalHttpServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>
#include <utility>
#include <vector>

using namespace brelvo;

namespace {

const QString kArrayKey = QString::fromLatin1(LogHelper::kLogsArrayKey);
const QString kEntriesKey = QString::fromLatin1(LogHelper::kLogsKey);

// Every message held in memory or in the stored batches.
QStringList everyMessage() {
    QStringList messages;
    for (const QVariant& v : LogHelper::shared().queued()) messages.append(v.toMap().value("log").toString());
    for (const QVariant& b : LogHelper::storedBatches()) {
        const QByteArray joined = "[" + b.toMap().value("logs").toString().toUtf8() + "]";
        const QJsonArray entries = QJsonDocument::fromJson(joined).array();
        EXPECT_FALSE(entries.isEmpty()) << "a stored batch that is not a list of entries: " << joined.left(200).constData();
        for (const QJsonValue& e : entries) messages.append(e.toObject().value("message").toString());
    }
    return messages;
}

class LogQueue : public ::testing::Test {
protected:
    void SetUp() override {
        LogHelper::shared().takeQueued();
        Defaults::standard().removeObject(kArrayKey);
        Defaults::standard().removeObject(kEntriesKey);
        Defaults::standard().synchronize();
        QDir(StoredLogBatches::folder()).removeRecursively();
        NetworkClientBrelvo::shared().setToken(QString());
    }
};

}  // namespace

TEST_F(LogQueue, NumericAndNamedLevelsBecomeNamesAndOthersLeaveTheLevelOut) {
    Brelvo& facade = Brelvo::shared();
    NetworkClientBrelvo::shared().setToken(QStringLiteral("tok-1"));
    facade.BVLog(QStringLiteral("a"), 2);
    facade.BVLog(QStringLiteral("b"), 1);
    facade.BVLog(QStringLiteral("c"), 0);
    facade.BVLog(QStringLiteral("d"), 5);
    facade.BVLog(QStringLiteral("e"), QVariant(QStringLiteral("custom")));
    facade.didReceiveMemWarning();
    facade.BVLog(QStringLiteral("f"), LogLevel::Error);
    facade.BVLog(QStringLiteral("g"), LogLevel::Info);
    const QVariantList q = LogHelper::shared().queued();
    ASSERT_EQ(q.size(), 8);
    EXPECT_EQ(q[0].toMap().value("level").toString(), "info");
    EXPECT_EQ(q[1].toMap().value("level").toString(), "warning");
    EXPECT_EQ(q[2].toMap().value("level").toString(), "error");
    EXPECT_FALSE(q[3].toMap().contains("level"));
    EXPECT_EQ(q[4].toMap().value("level").toString(), "custom");
    EXPECT_EQ(q[5].toMap().value("log").toString(), "didReceiveMemWarning");
    EXPECT_EQ(q[5].toMap().value("level").toString(), "warning");
    EXPECT_EQ(q[6].toMap().value("level").toString(), "error");
    EXPECT_EQ(q[7].toMap().value("level").toString(), "info");
    EXPECT_EQ(q[0].toMap().value("token").toString(), "tok-1");
    EXPECT_GT(q[0].toMap().value("ts").toLongLong(), 1600000000);
}

TEST_F(LogQueue, ManyThreadsLoggingPastTheBoundLoseNothingAndKeepTheirOrder) {
    constexpr int kThreads = 8, kPerThread = 4000;  // the memory queue fills three times over
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kPerThread; ++i) Brelvo::shared().BVLog(QStringLiteral("%1:%2").arg(t).arg(i), 2);
        });
    }
    for (std::thread& th : threads) th.join();
    ASSERT_TRUE(LogHelper::shared().flushSpilled());
    EXPECT_GT(StoredLogBatches::shared().fileCount(), 0);
    // Stored first, then what is still in memory: each thread's lines in the order it logged them.
    QStringList messages = everyMessage();
    messages = messages.mid(int(LogHelper::shared().queuedCount())) + messages.first(LogHelper::shared().queuedCount());
    ASSERT_EQ(messages.size(), kThreads * kPerThread);
    std::vector<int> next(kThreads, 0);
    for (const QString& m : messages) {
        const int t = m.section(':', 0, 0).toInt(), i = m.section(':', 1).toInt();
        ASSERT_EQ(i, next[t]) << "thread " << t;
        ++next[t];
    }
}

TEST_F(LogQueue, PastItsBoundTheMemoryQueueMovesToDiskInOrder) {
    const int total = int(LogHelper::kMaxQueuedEntries) + 250;
    for (int i = 0; i < total; ++i) Brelvo::shared().BVLog(QStringLiteral("line %1").arg(i), 1);
    ASSERT_TRUE(LogHelper::shared().flushSpilled());
    EXPECT_LT(std::size_t(LogHelper::shared().queuedCount()), LogHelper::kMaxQueuedEntries);
    ASSERT_FALSE(LogHelper::storedBatches().isEmpty());
    // The spilled lines come first on disk; the rest wait in memory after them.
    const QStringList stored = everyMessage().mid(int(LogHelper::shared().queuedCount()));
    ASSERT_EQ(everyMessage().size(), total);
    EXPECT_EQ(stored.first(), "line 0");

    // Also the text bound: a few huge lines spill long before the entry count.
    LogHelper::shared().takeQueued();
    const QString big(512 * 1024, QLatin1Char('x'));
    for (int i = 0; i < 10; ++i) Brelvo::shared().BVLog(big, 2);
    EXPECT_LT(LogHelper::shared().queuedCount(), 10);
}

TEST_F(LogQueue, AFullQueueTheFilesRefuseIsKeptInTheStore) {
    // A file where the folder of the batch files should be: no file can be made there.
    QFile blocker(StoredLogBatches::folder());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const int total = int(LogHelper::kMaxQueuedEntries);
    for (int i = 0; i < total; ++i) Brelvo::shared().BVLog(QStringLiteral("line %1").arg(i), 2);
    ASSERT_TRUE(LogHelper::shared().flushSpilled());
    EXPECT_EQ(LogHelper::shared().queuedCount(), 0);
    const QStringList messages = everyMessage();
    ASSERT_EQ(messages.size(), total);
    EXPECT_EQ(messages.last(), QStringLiteral("line %1").arg(total - 1));
    QFile::remove(blocker.fileName());
}

TEST_F(LogQueue, WithoutASessionTheQueueWaitsFailedBatchesAreStoredDurablyAndUnsentOnesMergedPerToken) {
    Brelvo::shared().BVLog(QStringLiteral("early"), 2);
    EXPECT_EQ(LogHelper::shared().drainQueue(), 0);
    ASSERT_EQ(LogHelper::shared().queuedCount(), 1);
    EXPECT_TRUE(LogHelper::storedBatches().isEmpty());
    LogHelper::shared().takeQueued();

    qApp->setProperty("brelvo_service_url", QStringLiteral("http://127.0.0.1:1/"));  // nothing listens there
    NetworkClientBrelvo::shared().setToken(QStringLiteral("tok-A"));
    Brelvo::shared().BVLog(QStringLiteral("one"), 2);
    Brelvo::shared().BVLog(QStringLiteral("two"), 2);
    EXPECT_EQ(LogHelper::shared().drainQueue(), 0);
    EXPECT_EQ(LogHelper::shared().queuedCount(), 0);
    // Never sent: these two join one batch. The failed one above may have
    // reached the service, so nothing joins it.
    for (const char* message : {"three", "three-b"}) {
        LogHelper::shared().addLogs({{"logs", QString::fromUtf8(LogHelper::entryJson({{"log", message}, {"ts", 1}}))},
                                     {"token", "tok-A"}});
    }
    LogHelper::shared().addLogs({{"logs", QString::fromUtf8(LogHelper::entryJson({{"log", "four"}, {"ts", 1}}))},
                                 {"token", "tok-B"}});
    LogHelper::shared().addLogs({{"logs", QString()}, {"token", "tok-B"}});  // nothing to keep

    // On disk: a second store on the same file sees the batches.
    Defaults other(Defaults::standard().path());
    const QVariantList batches = other.object(kArrayKey).toList();
    ASSERT_EQ(batches.size(), 3);
    EXPECT_EQ(batches[0].toMap().value("token").toString(), "tok-A");
    EXPECT_EQ(batches[1].toMap().value("token").toString(), "tok-A");
    EXPECT_EQ(batches[2].toMap().value("token").toString(), "tok-B");
    const QStringList all{"one", "two", "three", "three-b", "four"};
    EXPECT_EQ(everyMessage(), all);

    // A resend that fails again keeps every batch, in order.
    EXPECT_EQ(LogHelper::shared().tryToSendOldLogsArray(), 0);
    EXPECT_EQ(everyMessage(), all);
}

TEST_F(LogQueue, PastTheStoresBoundBatchesWaitInFilesAndNoneIsDropped) {
    StoredLogBatches& stored = StoredLogBatches::shared();
    const QString entry = QString::fromUtf8(LogHelper::entryJson({{"log", QString(1000, QLatin1Char('y'))}, {"ts", 1}}));
    const QString twoMegabytes = QStringList(2000, entry).join(QLatin1Char(','));
    for (int i = 0; i < 10; ++i)  // one token each: no merging
        stored.append(twoMegabytes, QStringLiteral("t%1").arg(i));
    stored.append(QStringLiteral("{}"), QStringLiteral("t9"));  // behind the files, not merged in front of them

    qsizetype inStore = 0;
    for (const QVariant& b : Defaults::standard().object(kArrayKey).toList())
        inStore += b.toMap().value("logs").toString().size();
    EXPECT_LE(inStore, StoredLogBatches::kMaxKeyBytes);
    EXPECT_GT(stored.fileCount(), 0);
    const auto tokens = [&] {
        QStringList t;
        for (const QVariant& b : stored.all()) t.append(b.toMap().value("token").toString());
        return t;
    };
    const QStringList all{"t0", "t1", "t2", "t3", "t4", "t5", "t6", "t7", "t8", "t9", "t9"};
    ASSERT_EQ(tokens(), all);

    // Oldest first, through the store and then the files; a failure stops the
    // delivery and keeps the failed batch and all behind it.
    QStringList sent;
    EXPECT_EQ(stored.deliver([&](const QString&, const QString& token, const QString&) {
        if (sent.size() == 6) return false;
        sent.append(token);
        return true;
    }), 6);
    EXPECT_EQ(tokens(), all.mid(6));
    EXPECT_EQ(stored.deliver([&](const QString&, const QString& token, const QString&) {
        sent.append(token);
        return true;
    }), 5);
    EXPECT_EQ(sent, all);
    EXPECT_TRUE(stored.isEmpty());
    EXPECT_EQ(stored.fileCount(), 0);
}

TEST_F(LogQueue, ABatchLeavesTheStoreOnlyOnceDeliveredAndNothingJoinsItOnItsWay) {
    StoredLogBatches& stored = StoredLogBatches::shared();
    stored.append(QStringLiteral("{\"n\":1}"), QStringLiteral("tok"));
    QStringList sent;
    QList<int> onDiskWhileSending;
    EXPECT_EQ(stored.deliver([&](const QString& logs, const QString&, const QString&) {
        // What a process killed now would leave: the batch is still stored.
        onDiskWhileSending.append(int(Defaults(Defaults::standard().path()).object(kArrayKey).toList().size()));
        // A failure of the same session lands while the first is on its way:
        // it waits behind it, since the service may hold the first already.
        if (sent.isEmpty()) stored.append(QStringLiteral("{\"n\":2}"), QStringLiteral("tok"));
        sent.append(logs);
        return true;
    }), 2);
    EXPECT_EQ(sent, (QStringList{"{\"n\":1}", "{\"n\":2}"}));
    EXPECT_EQ(onDiskWhileSending, (QList<int>{1, 1}));
    EXPECT_TRUE(stored.isEmpty());
}

TEST_F(LogQueue, ABatchIsResentUnderTheIdentifierOfItsFirstSendAndKeepsItsEntries) {
    // The first send gets no answer; the service may have stored it all the same.
    std::mutex mutex;
    std::vector<std::pair<std::string, QStringList>> requests;  // delivery identifier, messages
    int sentWhileEntriesWaited = 0;
    bool answer = false;
    test::LocalHttpServer http;
    http.server().Post("/api/1_0/lib/post_logs", [&](const httplib::Request& req, httplib::Response& res) {
        std::lock_guard<std::mutex> lock(mutex);
        QStringList messages;
        for (const QJsonValue& e : QJsonDocument::fromJson(QByteArray::fromStdString(req.body))["logs"].toArray())
            messages.append(e["message"].toString());
        requests.emplace_back(req.get_header_value(delivery::kHeader), messages);
        sentWhileEntriesWaited += Defaults::standard().object(kEntriesKey).isValid();
        if (answer) res.set_content(R"({"response_code":0,"payload":null})", "application/json");
        else res.status = 500;
    });
    http.start();
    qApp->setProperty("brelvo_service_url", http.url());
    NetworkClientBrelvo::shared().setToken(QStringLiteral("tok"));

    Brelvo::shared().BVLog(QStringLiteral("first"), 2);
    EXPECT_EQ(LogHelper::shared().drainQueue(), 0);
    Brelvo::shared().BVLog(QStringLiteral("second"), 2);
    EXPECT_EQ(LogHelper::shared().drainQueue(), 0);
    // A batch stored by an earlier version, without an identifier, at the end.
    Defaults::standard().update(kArrayKey, [](const QVariant& current) {
        QVariantList list = current.toList();
        list.append(QVariantMap{{"logs", QString::fromUtf8(LogHelper::entryJson({{"log", "earlier"}, {"ts", 1}}))},
                                {"token", "tok"}});
        return QVariant(list);
    });
    // The per-entry queue of earlier versions: its front entry was marked for
    // a batch by a move that a kill cut short; the other was never sent.
    const QString cutShort = delivery::newId();
    Defaults::standard().setObject(
        QVariantList{QVariantMap{{"log", "marked"}, {"ts", 1}, {"token", "tok"}, {"delivery_id", cutShort}},
                     QVariantMap{{"log", "unsent"}, {"ts", 2}, {"token", "tok"}}},
        kEntriesKey);
    {
        std::lock_guard<std::mutex> lock(mutex);
        answer = true;
    }
    EXPECT_EQ(LogHelper::shared().tryToSendOldLogs(), 5);

    std::lock_guard<std::mutex> lock(mutex);
    ASSERT_EQ(requests.size(), 7u);
    EXPECT_EQ(requests[2], requests[0]) << "the same batch under the same identifier";
    EXPECT_EQ(requests[3], requests[1]);
    EXPECT_EQ(requests[0].second, QStringList{"first"});
    EXPECT_EQ(requests[1].second, QStringList{"second"});
    EXPECT_EQ(requests[4].second, QStringList{"earlier"});
    EXPECT_EQ(requests[5], std::make_pair(cutShort.toStdString(), QStringList{"marked"}));
    EXPECT_EQ(requests[6].second, QStringList{"unsent"});
    EXPECT_EQ(sentWhileEntriesWaited, 0) << "entries leave their queue, with an identifier, before any send";
    std::set<std::string> ids;
    for (const auto& r : requests) ids.insert(r.first);
    EXPECT_EQ(ids.size(), 5u);
    for (const std::string& id : ids) EXPECT_TRUE(delivery::isId(QString::fromStdString(id))) << id;
    qApp->setProperty("brelvo_service_url", QVariant());
}

TEST_F(LogQueue, ACorruptStoredValueReadsAsEmptyAndAnUnreadableBatchFileIsMovedAside) {
    Defaults::standard().setObject(QStringLiteral("not a list"), kArrayKey);
    Defaults::standard().synchronize();
    EXPECT_TRUE(LogHelper::storedBatches().isEmpty());
    EXPECT_EQ(LogHelper::shared().tryToSendOldLogsArray(), 0);
    LogHelper::shared().addLogs({{"logs", "{}"}, {"token", "t"}});
    EXPECT_EQ(LogHelper::storedBatches().size(), 1);
    Defaults::standard().removeObject(kArrayKey);

    StoredLogBatches& stored = StoredLogBatches::shared();
    ASSERT_TRUE(QDir().mkpath(StoredLogBatches::folder()));
    QFile bad(StoredLogBatches::folder() + "/00000000000000000001.plist");
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("not a property list");
    bad.close();
    stored.append(QStringLiteral("{}"), QStringLiteral("tok"));  // follows the file, into a file of its own
    EXPECT_EQ(stored.fileCount(), 2);
    int delivered = 0;
    EXPECT_EQ(stored.deliver([&](const QString&, const QString&, const QString&) { return ++delivered > 0; }), 1);
    EXPECT_EQ(stored.fileCount(), 0);
    EXPECT_TRUE(QFile::exists(bad.fileName() + ".unreadable"));
}

TEST_F(LogQueue, ConcurrentResendsOfStoredEntriesNeitherDuplicateNorDropThem) {
    // A service that answers nothing, slowly: every send fails after a while.
    test::LocalHttpServer http;
    http.server().Post("/api/1_0/lib/post_logs", [](const httplib::Request&, httplib::Response& res) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        res.status = 500;
    });
    http.start();
    qApp->setProperty("brelvo_service_url", http.url());
    Defaults::standard().removeObject(kEntriesKey);
    const auto entry = [](int i) {
        return QVariantMap{{"log", QStringLiteral("e%1").arg(i)}, {"ts", 1}, {"token", "tok"}, {"level", "info"}};
    };
    for (int i = 1; i <= 10; ++i) LogHelper::shared().addLog(entry(i));

    std::thread first([] { LogHelper::shared().tryToSendOldLogs(); });
    std::thread second([] { LogHelper::shared().tryToSendOldLogs(); });
    for (int i = 11; i <= 15; ++i) LogHelper::shared().addLog(entry(i));
    first.join();
    second.join();

    QStringList all = everyMessage();
    for (const QVariant& v : Defaults::standard().object(kEntriesKey).toList()) all.append(v.toMap().value("log").toString());
    std::sort(all.begin(), all.end(), [](const QString& a, const QString& b) { return a.mid(1).toInt() < b.mid(1).toInt(); });
    QStringList expected;
    for (int i = 1; i <= 15; ++i) expected.append(QStringLiteral("e%1").arg(i));
    EXPECT_EQ(all, expected) << "each entry waits once, as an entry or in a stored batch";
    Defaults::standard().removeObject(kEntriesKey);
    qApp->setProperty("brelvo_service_url", QVariant());
}
