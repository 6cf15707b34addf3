// The requirements screen's source and the result reporter against the real
// service: tabs, paging, answers that come too late or not at all, and
// results that wait for the service and then arrive once.
#include <brelvo/Brelvo.h>

#include "platform/Defaults.h"
#include "platform/Dispatch.h"
#include "platform/Json.h"
#include "protocol/AnalizeResponseBrelvo.h"
#include "protocol/JSONClientBrelvo.h"
#include "protocol/NetworkClientBrelvo.h"
#include "service/ServiceHarness.h"
#include "state/BrelAuthenticationDM.h"
#include "state/RequirementOrder.h"
#include "state/SharedState.h"
#include "support/TestSupport.h"
#include "ui/requirements/RequirementReporter.h"
#include "ui/requirements/RequirementsSource.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QJsonArray>
#include <QSignalSpy>

using namespace brelvo;
using brelvo::service::test::ServiceFixture;

namespace {

constexpr int kPending = 21, kPassed = 19, kPageSize = 20;
const int kPriorities[] = {2, 5, 1};

class Requirements : public ServiceFixture {
protected:
    // Pages of 20: 21 pending requirements, 19 passed, none failed.
    std::vector<std::string> extraArgs() const override {
        return {"--seed", service::test::writeSeed(dir_, [](QJsonObject& project) {
                    project.insert("page_size", kPageSize);
                    QJsonArray list;
                    for (int i = 0; i < kPending + kPassed; ++i)
                        list.append(QJsonObject{{"rid", i + 1},
                                                {"code", QStringLiteral("R-%1").arg(i + 1)},
                                                {"priority", kPriorities[i % 3]},
                                                {"status", i < kPending ? 0 : 2},
                                                {"title", QStringLiteral("Requirement %1").arg(i + 1)}});
                    QJsonObject revision = service::test::demoRevision(project);
                    revision.insert("requirements", list);
                    service::test::setDemoRevision(project, revision);
                })};
    }

    void SetUp() override {
        ServiceFixture::SetUp();
        Brelvo::shared();  // the device identity for the bodies
        QGuiApplication::setDesktopFileName(QStringLiteral("org.brelvo.notes"));
        QCoreApplication::setApplicationVersion(QStringLiteral("2.4"));
        online();
        NetworkClientBrelvo::shared().setTimeout(std::chrono::milliseconds(10000));
        const QString answer = NetworkClientBrelvo::shared().makePOSTRequestWithMethod(
            QStringLiteral("auth"), JSONClientBrelvo::shared().getAuthData(QStringLiteral("demo-key-0001"), QString()));
        BrelAuthenticationDM::shared().initWithDictionary(json::parse(answer.toUtf8()));
        NetworkClientBrelvo::shared().setToken(AnalizeResponseBrelvo::shared().getToken());
        wasInit_ = SharedState::shared().isInit();
        SharedState::shared().setIsInit(true);
        Defaults::standard().removeObject(RequirementReporter::kQueueKey);
    }
    void TearDown() override {
        client_->admin("/admin/reset-faults", "{}");
        SharedState::shared().setIsInit(wasInit_);
        ServiceFixture::TearDown();
    }
    void online() { qApp->setProperty("brelvo_service_url", QStringLiteral("http://127.0.0.1:%1/").arg(service_.port())); }
    void unreachable() { qApp->setProperty("brelvo_service_url", QStringLiteral("http://127.0.0.1:1/")); }
    void arm(const std::string& fault) { client_->admin("/admin/faults", fault); }
    int requirementRequests() {
        int n = 0;
        for (const QJsonValue& r : client_->records().value(QStringLiteral("requests")).toArray())
            n += r.toObject().value(QStringLiteral("method")).toString() == QLatin1String("requirements");
        return n;
    }
    // Waits until the source has an answer for what it asked.
    static bool settled(const RequirementsSource& source) {
        return test::waitFor([&] { return !source.isLoading(); }, std::chrono::seconds(20));
    }
    static QList<double> priorities(const QVariantList& rows) {
        QList<double> list;
        for (const QVariant& r : rows) list << requirementPriority(r).value_or(-1);
        return list;
    }

    bool wasInit_ = false;
};

TEST_F(Requirements, TabsLoadSortedAndEachPageIsAskedForOnce) {
    RequirementsSource source;
    QSignalSpy changed(&source, &RequirementsSource::rowsChanged);

    ASSERT_TRUE(source.loadTab(RequirementsSource::kFailed));
    ASSERT_TRUE(settled(source));
    EXPECT_TRUE(source.rows().isEmpty());
    EXPECT_TRUE(changed.last().at(0).toList().isEmpty());

    // 19 passed rows fill no page of 20: the last row asks for nothing.
    ASSERT_TRUE(source.loadTab(RequirementsSource::kPassed));
    ASSERT_TRUE(settled(source));
    ASSERT_EQ(source.rows().size(), kPassed);
    const QList<double> p = priorities(source.rows());
    EXPECT_TRUE(std::is_sorted(p.rbegin(), p.rend())) << "highest priority first";
    EXPECT_EQ(p.first(), 5);
    EXPECT_EQ(p.last(), 1);
    EXPECT_FALSE(source.rowShown(kPassed - 1));

    // 20 pending rows: the last one asks for page 1, however often it is built.
    ASSERT_TRUE(source.loadTab(RequirementsSource::kPending));
    ASSERT_TRUE(settled(source));
    ASSERT_EQ(source.rows().size(), kPageSize);
    EXPECT_FALSE(source.rowShown(kPageSize - 2));
    EXPECT_TRUE(source.rowShown(kPageSize - 1));
    EXPECT_FALSE(source.rowShown(kPageSize - 1));
    ASSERT_TRUE(settled(source));
    ASSERT_EQ(source.rows().size(), kPending);
    EXPECT_FALSE(source.rowShown(kPending - 1));
    const QList<double> all = priorities(source.rows());
    EXPECT_TRUE(std::is_sorted(all.rbegin(), all.rend()));
    // Failed, passed, pending and its page 1.
    EXPECT_EQ(requirementRequests(), 4);
}

TEST_F(Requirements, AnAnswerForAnEarlierTabIsDroppedAndAFailedPageCanBeAskedAgain) {
    RequirementsSource source;
    arm(R"({"kind":"delay","count":1,"delay_ms":1500,"methods":["requirements"]})");
    ASSERT_TRUE(source.loadTab(RequirementsSource::kPassed));
    // The menu hands over its list before the passed tab's answer is back.
    const QVariantList handed{QVariantMap{{"rid", 900}, {"priority", 1}}};
    source.takeList(handed, QVariant());
    ASSERT_TRUE(dispatch::globalPool().waitForDone(20000));
    QCoreApplication::processEvents();
    EXPECT_EQ(source.rows(), handed);
    EXPECT_FALSE(source.isLoading());

    // Page 1 refused: the 20 rows stay, and asking again brings the 21st.
    ASSERT_TRUE(source.loadTab(RequirementsSource::kPending));
    ASSERT_TRUE(settled(source));
    QSignalSpy failed(&source, &RequirementsSource::failed);
    arm(R"({"kind":"code","count":1,"code":3,"methods":["requirements"]})");
    ASSERT_TRUE(source.rowShown(kPageSize - 1));
    ASSERT_TRUE(test::waitFor([&] { return failed.size() == 1; }));
    EXPECT_EQ(failed.first(), (QVariantList{RequirementsSource::kPending, 1}));
    EXPECT_EQ(source.rows().size(), kPageSize);
    ASSERT_TRUE(source.retry());
    ASSERT_TRUE(settled(source));
    EXPECT_EQ(source.rows().size(), kPending);
}

TEST_F(Requirements, AResultReportedWhileTheServiceIsDownArrivesOnceWhenItIsBack) {
    RequirementReporter& reporter = RequirementReporter::shared();
    QSignalSpy rounds(&reporter, &RequirementReporter::delivered);
    const auto roundEnds = [&](int count, int left) {
        const bool ended = test::waitFor([&] { return !rounds.isEmpty(); }, std::chrono::seconds(20));
        const QVariantList round = ended ? rounds.takeFirst() : QVariantList();
        return round == QVariantList{count, left};
    };

    unreachable();
    ASSERT_TRUE(reporter.report(1, 1));
    ASSERT_TRUE(roundEnds(0, 1));

    // Back, but the answer is lost after the service stored the result.
    online();
    arm(R"({"kind":"hold","count":1,"delay_ms":3000,"methods":["requirement_result"]})");
    NetworkClientBrelvo::shared().setTimeout(std::chrono::milliseconds(1000));
    reporter.deliver();
    ASSERT_TRUE(roundEnds(0, 1));
    NetworkClientBrelvo::shared().setTimeout(std::chrono::milliseconds(10000));
    reporter.deliver();
    ASSERT_TRUE(roundEnds(1, 0));
    reporter.deliver();
    ASSERT_TRUE(roundEnds(0, 0));

    EXPECT_EQ(client_->records().value(QStringLiteral("requirement_results")).toArray().size(), 1);
    const QJsonObject inProgress = client_->call(
        "requirements", service::test::requirementsBody(NetworkClientBrelvo::shared().access_token().toStdString(), "0", "1"));
    EXPECT_EQ(inProgress.value("payload").toObject().value("requirements").toArray().size(), 1);
}

}  // namespace
