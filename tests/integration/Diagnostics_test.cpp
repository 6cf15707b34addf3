// Crash reports, log batches and lifecycle reports against the real service:
// what arrives, what is kept when it cannot arrive, and that the kept items
// arrive later and leave their queue empty.
#include <brelvo/Brelvo.h>

#include "core/BrelvoComponents.h"
#include "core/Lifecycle.h"
#include "diagnostics/CrashHelper.h"
#include "diagnostics/LogHelper.h"
#include "platform/Defaults.h"
#include "platform/Json.h"
#include "protocol/AnalizeResponseBrelvo.h"
#include "protocol/JSONClientBrelvo.h"
#include "protocol/NetworkClientBrelvo.h"
#include "service/ServiceHarness.h"
#include "state/BrelAuthenticationDM.h"
#include "support/TestSupport.h"

#include <QGuiApplication>
#include <QJsonArray>
#include <QSignalSpy>

#include <atomic>
#include <thread>
#include <vector>

using namespace brelvo;
using brelvo::service::test::ServiceFixture;

namespace {

class Diagnostics : public ServiceFixture {
protected:
    void SetUp() override {
        ServiceFixture::SetUp();
        if (IsSkipped()) return;
        QGuiApplication::setDesktopFileName(QStringLiteral("org.brelvo.notes"));
        QCoreApplication::setApplicationVersion(QStringLiteral("2.4"));
        serviceUrl_ = QStringLiteral("http://127.0.0.1:%1/").arg(service_.port());
        online();
        NetworkClientBrelvo::shared().setTimeout(std::chrono::milliseconds(5000));
        Brelvo::shared().setApiKey(QStringLiteral("demo-key-0001"));
        LogHelper::shared().takeQueued();
    }
    void TearDown() override {
        if (client_) client_->admin("/admin/reset-faults", "{}");
        ServiceFixture::TearDown();
    }
    void online() { qApp->setProperty("brelvo_service_url", serviceUrl_); }
    void unreachable() { qApp->setProperty("brelvo_service_url", QStringLiteral("http://127.0.0.1:1/")); }

    QString authenticate() {
        const QString answer = NetworkClientBrelvo::shared().makePOSTRequestWithMethod(
            QStringLiteral("auth"), JSONClientBrelvo::shared().getAuthData(QStringLiteral("demo-key-0001"), QString()));
        BrelAuthenticationDM::shared().initWithDictionary(json::parse(answer.toUtf8()));
        const QString token = AnalizeResponseBrelvo::shared().getToken();
        NetworkClientBrelvo::shared().setToken(token);
        return token;
    }

    QJsonArray records(const char* table) { return client_->records().value(QLatin1String(table)).toArray(); }
    int loggedEntries() {
        int n = 0;
        for (const QJsonValue& b : records("log_batches")) n += b.toObject().value("entry_count").toInt();
        return n;
    }
    void arm(const std::string& fault) { client_->admin("/admin/faults", fault); }

    QString serviceUrl_;
};

}  // namespace

// ---- log batches ---------------------------------------------------------------

TEST_F(Diagnostics, ADrainedQueueArrivesAsOneBatchWithItsEntriesAndTheEmptyBatchAsAPropertyList) {
    authenticate();
    Brelvo::shared().BVLog(QStringLiteral("opened \"notes\""), 2);
    Brelvo::shared().BVLog(QStringLiteral("low disk"), 1);
    Brelvo::shared().BVLog(QStringLiteral("save failed"), 0);
    EXPECT_EQ(LogHelper::shared().drainQueue(), 3);
    const QJsonArray batches = records("log_batches");
    ASSERT_EQ(batches.size(), 1);
    const QJsonObject batch = batches[0].toObject();
    EXPECT_EQ(batch.value("format").toString(), "json");
    EXPECT_EQ(batch.value("entry_count").toInt(), 3);
    const QJsonArray entries = batch.value("entries").toArray();
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries[0].toObject().value("message").toString(), "opened \"notes\"");
    EXPECT_EQ(entries[0].toObject().value("log_level").toString(), "info");
    EXPECT_EQ(entries[1].toObject().value("log_level").toString(), "warning");
    EXPECT_EQ(entries[2].toObject().value("log_level").toString(), "error");
    EXPECT_EQ(LogHelper::shared().queuedCount(), 0);

    components().sendEmptyArray();
    ASSERT_EQ(records("log_batches").size(), 2);
    EXPECT_EQ(records("log_batches")[1].toObject().value("format").toString(), "plist");
    EXPECT_EQ(records("log_batches")[1].toObject().value("entry_count").toInt(), 0);
}

TEST_F(Diagnostics, EightThreadsLoggingWhileTheTimerDrainsLoseNothing) {
    authenticate();
    constexpr int kThreads = 8, kPerThread = 500;
    std::atomic<int> finished{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &finished] {
            for (int i = 0; i < kPerThread; ++i) Brelvo::shared().BVLog(QStringLiteral("%1:%2").arg(t).arg(i), 2);
            ++finished;
        });
    }
    // The ticks come while the threads log.
    EXPECT_TRUE(test::waitFor([&] {
        components().checkLogs();
        return finished == kThreads;
    }));
    for (std::thread& th : threads) th.join();
    EXPECT_TRUE(test::waitFor([&] {
        components().checkLogs();
        return loggedEntries() == kThreads * kPerThread;
    }, std::chrono::seconds(30))) << loggedEntries();
    EXPECT_EQ(LogHelper::shared().queuedCount(), 0);
    EXPECT_TRUE(LogHelper::storedBatches().isEmpty());
}

TEST_F(Diagnostics, AFailedBatchIsKeptAndResentAfterTheNextAuthentication) {
    authenticate();
    arm(R"({"kind":"empty","count":1,"methods":["post_logs"]})");
    Brelvo::shared().BVLog(QStringLiteral("kept"), 2);
    EXPECT_EQ(LogHelper::shared().drainQueue(), 0);
    ASSERT_EQ(LogHelper::storedBatches().size(), 1);

    // The service unreachable: the resend fails and puts the batch back.
    unreachable();
    EXPECT_EQ(LogHelper::shared().tryToSendOldLogsArray(), 0);
    ASSERT_EQ(LogHelper::storedBatches().size(), 1);

    online();
    EXPECT_EQ(LogHelper::shared().tryToSendOldLogsArray(), 1);
    EXPECT_TRUE(LogHelper::storedBatches().isEmpty());
    const QJsonArray batches = records("log_batches");
    ASSERT_EQ(batches.size(), 1);
    EXPECT_EQ(batches[0].toObject().value("entries").toArray()[0].toObject().value("message").toString(), "kept");
}

TEST_F(Diagnostics, StoredBatchesFollowWhenALaterBatchGetsThroughAndStoredEntriesGoAsOneBatch) {
    authenticate();
    unreachable();
    Brelvo::shared().BVLog(QStringLiteral("while away"), 2);
    EXPECT_EQ(LogHelper::shared().drainQueue(), 0);
    online();
    Brelvo::shared().BVLog(QStringLiteral("back"), 2);
    EXPECT_EQ(LogHelper::shared().drainQueue(), 1);
    EXPECT_TRUE(LogHelper::storedBatches().isEmpty());
    EXPECT_EQ(loggedEntries(), 2);

    const QString token = NetworkClientBrelvo::shared().access_token();
    LogHelper::shared().addLog({{"log", "a"}, {"level", "info"}, {"ts", 1700000000}, {"token", token}});
    LogHelper::shared().addLog({{"log", "b"}, {"level", "error"}, {"ts", 1700000001}, {"token", token}});
    EXPECT_EQ(LogHelper::shared().tryToSendOldLogs(), 1);
    EXPECT_FALSE(Defaults::standard().object(QString::fromLatin1(LogHelper::kLogsKey)).isValid());
    EXPECT_EQ(loggedEntries(), 4);
}

// ---- crash reports -------------------------------------------------------------

TEST_F(Diagnostics, ACrashReachesTheServiceOrWaitsForTheNextSession) {
    const QString token = authenticate();
    const QByteArray state = components().getPhoneState().toUtf8();
    // The host hears of each report once: where it went, not each failed resend.
    QSignalSpy sent(&Brelvo::events(), &BrelvoEvents::crashReportSent);
    QSignalSpy queued(&Brelvo::events(), &BrelvoEvents::crashReportQueued);
    components().postCrash(QStringLiteral("first crash"), token, state, QString(), QString());
    ASSERT_EQ(records("crashes").size(), 1);
    EXPECT_TRUE(CrashHelper::queuedCrashes().isEmpty());

    unreachable();
    CrashHelper::postCrash(QStringLiteral("second crash"), token, state, QStringLiteral("3"), QString());
    ASSERT_EQ(CrashHelper::queuedCrashes().size(), 1);

    // Back online, but the first resend meets an empty answer: the report stays.
    online();
    arm(R"({"kind":"empty","count":1,"methods":["post_crash"]})");
    EXPECT_EQ(CrashHelper::shared().sendOldCrashesNow(), 0);
    ASSERT_EQ(CrashHelper::queuedCrashes().size(), 1);

    // The next session's resend (on the pool) delivers it and empties the queue.
    CrashHelper::shared().tryToSendOldCrashes();
    ASSERT_TRUE(test::waitFor([&] { return records("crashes").size() == 2; }));
    EXPECT_TRUE(test::waitFor([] { return CrashHelper::queuedCrashes().isEmpty(); }));
    const QJsonObject crash = records("crashes")[1].toObject();
    EXPECT_EQ(crash.value("log").toString(), "second crash");
    EXPECT_EQ(crash.value("rid").toString(), "3");
    EXPECT_TRUE(test::waitFor([&] { return sent.size() == 2; }));
    EXPECT_EQ(queued.size(), 1);
}

// ---- lifecycle -----------------------------------------------------------------

TEST_F(Diagnostics, TheLaunchActivationIsNoResumeButALaterReturnIs) {
    Lifecycle& life = Lifecycle::shared();
    // The launch: the session may not exist yet; the activation is used up anyway.
    life.applicationStateChanged(Qt::ApplicationActive);
    EXPECT_FALSE(life.isFirstTime());
    authenticate();
    std::atomic<int> resumes{0};
    life.setResumeFinished([&](bool) { ++resumes; });
    EXPECT_TRUE(records("state_events").isEmpty());

    life.applicationStateChanged(Qt::ApplicationInactive);
    life.applicationStateChanged(Qt::ApplicationHidden);  // still in the background: nothing more
    ASSERT_EQ(records("state_events").size(), 1);  // the suspend blocks until sent
    life.applicationStateChanged(Qt::ApplicationActive);
    ASSERT_TRUE(test::waitFor([&] { return resumes == 1; }));
    const QJsonArray events = records("state_events");
    ASSERT_EQ(events.size(), 2);
    EXPECT_EQ(events[0].toObject().value("state_action").toString(), "suspend");
    EXPECT_EQ(events[1].toObject().value("state_action").toString(), "resume");
    life.setResumeFinished(nullptr);
}

TEST_F(Diagnostics, AFailedResumeAuthenticatesAgain) {
    Lifecycle& life = Lifecycle::shared();
    life.applicationStateChanged(Qt::ApplicationActive);  // the launch
    authenticate();
    std::atomic<int> reauthentications{0}, resumes{0};
    life.setReauthentication([&] { ++reauthentications; });
    life.setResumeFinished([&](bool) { ++resumes; });
    auto cycle = [&](const std::string& faultForResume) {
        const int before = resumes;
        life.applicationStateChanged(Qt::ApplicationInactive);  // the suspend is sent before this returns
        if (!faultForResume.empty()) arm(faultForResume);
        life.applicationStateChanged(Qt::ApplicationActive);
        ASSERT_TRUE(test::waitFor([&] { return resumes == before + 1; }));
        QCoreApplication::processEvents();  // the re-authentication is queued to the GUI thread
    };
    cycle(R"({"kind":"code","count":1,"code":3,"methods":["track_state"]})");  // refused
    EXPECT_TRUE(test::waitFor([&] { return reauthentications == 1; }));
    cycle("");  // delivered: the session stands
    cycle(R"({"kind":"empty","count":1,"methods":["track_state"]})");  // no answer
    EXPECT_TRUE(test::waitFor([&] { return reauthentications == 2; }));
    EXPECT_EQ(records("state_events").size(), 4);  // 3 suspends, 1 delivered resume
    life.setReauthentication(nullptr);
    life.setResumeFinished(nullptr);
}

TEST_F(Diagnostics, CheckForUpdateGivesTheDownloadAddressOrNothing) {
    const QString url = Brelvo::shared().checkForUpdate();
    EXPECT_TRUE(url.startsWith(QLatin1String("http"))) << url.toStdString();
    QCoreApplication::setApplicationVersion(QStringLiteral("2.5"));
    EXPECT_EQ(Brelvo::shared().checkForUpdate(), QString());
    unreachable();
    EXPECT_EQ(Brelvo::shared().checkForUpdate(), QString());
}
