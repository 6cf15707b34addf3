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
#include "platform/NotificationCenter.h"
#include "state/NotificationNames.h"
#include "state/UserHelperBrelvo.h"
#include "ui/issue/IssueChoices.h"
#include "ui/issue/IssueSender.h"
#include "ui/requirements/EGORefreshTableHeaderViewBrelvo.h"
#include "ui/requirements/RequirementReporter.h"
#include "ui/requirements/RequirementViewController.h"
#include "ui/requirements/RequirementsSource.h"
#include "ui/requirements/RequirementsViewController.h"
#include "ui/session/BVAlert.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QJsonArray>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextEdit>

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
        if (IsSkipped()) return;
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
        if (client_) client_->admin("/admin/reset-faults", "{}");
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

// The screens over the source, driven with the mouse: six pending
// requirements in pages of five, one passed, none failed.
class RequirementScreens : public Requirements {
protected:
    std::vector<std::string> extraArgs() const override {
        return {"--seed", service::test::writeSeed(dir_, [](QJsonObject& project) {
                    project.insert("page_size", 5);
                    QJsonArray list;
                    for (int rid = 41; rid <= 47; ++rid) {
                        QJsonObject r{{"rid", rid},
                                      {"code", QStringLiteral("NT-%1").arg(rid)},
                                      {"priority", rid % 3 + 1},
                                      {"status", rid == 47 ? 2 : 0},
                                      {"kind", rid == 41 ? 2 : 7},
                                      {"title", QStringLiteral("Requirement %1").arg(rid)},
                                      {"description", QStringLiteral("Steps of %1").arg(rid)},
                                      {"exp_result", QStringLiteral("It works")}};
                        if (rid != 41)  // 41 has no actor, action or reference
                            for (const char* member : {"actor", "action", "reference"}) r.insert(member, QString::fromLatin1(member));
                        list.append(r);
                    }
                    QJsonObject revision = service::test::demoRevision(project);
                    revision.insert("requirements", list);
                    service::test::setDemoRevision(project, revision);
                })};
    }
    void SetUp() override {
        Requirements::SetUp();
        if (IsSkipped()) return;
        NetworkClientBrelvo::shared().setRrid(QStringLiteral("0"));
        UserHelperBrelvo::shared().setActiveRequirement({});
        screen = std::make_unique<RequirementsViewController>(&source);
        screen->resize(320, 568);
        screen->show();
    }
    void TearDown() override {
        screen.reset();
        Requirements::TearDown();
    }
    bool showTab(int tab) {
        QTest::mouseClick(screen->tabButton(tab), Qt::LeftButton);
        return settled(source);
    }
    // Taps the row of this requirement; the detail it opens, once loaded.
    RequirementViewController* open(int rid) {
        QListWidget* table = screen->tb();
        for (int row = 0; row < screen->list().size(); ++row)
            if (screen->list()[row].toMap().value("rid").toInt() == rid)
                QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualItemRect(table->item(row)).center());
        return loaded();
    }
    RequirementViewController* loaded() {
        const bool ok = test::waitFor([&] { return screen->controller() && !screen->controller()->rid().isNull(); });
        return ok ? screen->controller() : nullptr;
    }
    // The results the service holds for this requirement, oldest first.
    QList<int> results(int rid) {
        if (!test::waitFor([] { return RequirementReporter::shared().pending().isEmpty(); })) return {-1};
        QList<int> statuses;
        for (const QJsonValue& r : client_->records().value(QStringLiteral("requirement_results")).toArray())
            if (r.toObject().value("rid").toVariant().toInt() == rid) statuses << r.toObject().value("status").toVariant().toInt();
        return statuses;
    }
    static void answer(BVAlert* alert, bool yes) {
        ASSERT_NE(alert, nullptr);
        QTest::mouseClick(yes ? alert->otherButton() : alert->cancelButton(), Qt::LeftButton);
    }

    RequirementsSource source;
    std::unique_ptr<RequirementsViewController> screen;
};

TEST_F(RequirementScreens, TabsPagingTheInProgressAlertAndPullToRefresh) {
    // Loaded while hidden, as the menu's fetch does, the rows are not seen yet.
    screen->hide();
    screen->getRequirementsList();
    ASSERT_TRUE(settled(source));
    EXPECT_EQ(screen->tb()->count(), 5);
    // Shown, five rows fill the first page and the last of them shows: page 1 follows once.
    screen->show();
    ASSERT_TRUE(test::waitFor([&] { return screen->tb()->count() == 6 && !source.isLoading(); }));
    const QList<double> p = priorities(screen->list());
    EXPECT_TRUE(std::is_sorted(p.rbegin(), p.rend()));
    EXPECT_EQ(requirementRequests(), 2);

    ASSERT_TRUE(showTab(2));
    EXPECT_EQ(screen->tb()->count(), 0);
    EXPECT_TRUE(screen->lblNoRequirements()->isVisible());
    EXPECT_EQ(screen->lblNoRequirements()->text(), "NO TESTS");
    ASSERT_TRUE(showTab(1));
    EXPECT_EQ(screen->tb()->count(), 1);
    EXPECT_FALSE(screen->lblNoRequirements()->isVisible());
    ASSERT_TRUE(showTab(0));
    ASSERT_TRUE(test::waitFor([&] { return screen->tb()->count() == 6; }));

    // With a test under way another row raises the alert and opens nothing.
    NetworkClientBrelvo::shared().setRrid(QStringLiteral("44"));
    QTest::mouseClick(screen->tb()->viewport(), Qt::LeftButton, {}, screen->tb()->visualItemRect(screen->tb()->item(0)).center());
    ASSERT_NE(screen->alert(), nullptr);
    EXPECT_EQ(screen->alert()->titleLabel()->text(), "Error");
    EXPECT_EQ(screen->alert()->messageView()->toPlainText(), "You already have in progress test. Finish it first");
    EXPECT_EQ(screen->controller(), nullptr);
    answer(screen->alert(), false);
    NetworkClientBrelvo::shared().setRrid(QStringLiteral("0"));

    // A drag of 70 points down the list reloads it, and the header settles when it is back.
    const int before = requirementRequests();
    QWidget* viewport = screen->tb()->viewport();
    QTest::mousePress(viewport, Qt::LeftButton, {}, QPoint(160, 10));
    for (int y = 20; y <= 80; y += 10) QTest::mouseMove(viewport, QPoint(160, y));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, QPoint(160, 80));
    EXPECT_EQ(screen->refreshHeaderView()->state(), EGORefreshTableHeaderViewBrelvo::Loading);
    ASSERT_TRUE(test::waitFor([&] {
        return screen->refreshHeaderView()->state() == EGORefreshTableHeaderViewBrelvo::Normal && screen->tb()->count() == 6;
    }));
    EXPECT_EQ(requirementRequests(), before + 2);
}

TEST_F(RequirementScreens, StartFailWithAnIssueCancelAndPassThroughTheDetail) {
    screen->getRequirementsList();
    ASSERT_TRUE(test::waitFor([&] { return screen->tb()->count() == 6 && !source.isLoading(); }));
    QSignalSpy menu(screen.get(), &RequirementsViewController::menuRequested);
    int issueCalls = 0;
    NotificationCenter::defaultCenter().addObserver(notifications::kCallPostIssue, screen.get(),
                                                    [&](const Notification&) { ++issueCalls; });

    // A requirement without actor, action or reference leaves those sections out.
    RequirementViewController* detail = open(41);
    ASSERT_NE(detail, nullptr);
    EXPECT_EQ(detail->lblRequirementType()->text(), "USER STORY");
    EXPECT_EQ(detail->sectionCaptions(), (QStringList{"Subject", "Description", "Expected Result"}));
    EXPECT_TRUE(detail->btnStartTesting()->isVisible());
    EXPECT_FALSE(detail->btnTestFail()->isVisible());
    QTest::mouseClick(detail->btnStartTesting(), Qt::LeftButton);
    EXPECT_EQ(NetworkClientBrelvo::shared().rrid(), "41");
    EXPECT_EQ(UserHelperBrelvo::shared().activeRequirement().value("rid").toInt(), 41);
    EXPECT_EQ(menu.size(), 1);
    EXPECT_EQ(results(41), QList<int>{1});

    // Opened again it is under way; failed with "post issue", the issue is attached to it.
    screen->btnStartedRequirementPressed();
    detail = loaded();
    ASSERT_NE(detail, nullptr);
    EXPECT_FALSE(detail->btnStartTesting()->isVisible());
    for (QPushButton* b : {detail->btnTestSuccess(), detail->btnTestFail(), detail->btnCancel(), detail->btnContinueTesting()})
        EXPECT_TRUE(b->isVisible()) << b->text().toStdString();
    QTest::mouseClick(detail->btnTestFail(), Qt::LeftButton);
    answer(detail->alert(), true);
    EXPECT_EQ(issueCalls, 1);
    EXPECT_EQ(NetworkClientBrelvo::shared().rrid(), "0");
    EXPECT_EQ(results(41), (QList<int>{1, 3}));
    const IssueChoices choices = IssueChoices::fromCurrentPayload();
    QSignalSpy sent(&IssueSender::shared(), &IssueSender::issueSent);
    ASSERT_TRUE(IssueSender::shared().send({"Fails", "It does not work", choices.typeId(0), choices.priorityId(1)}));
    ASSERT_TRUE(test::waitFor([&] { return sent.size() == 1; }, std::chrono::seconds(30)));
    const QJsonArray issues = client_->records().value(QStringLiteral("issues")).toArray();
    ASSERT_EQ(issues.size(), 1);
    EXPECT_EQ(issues[0].toObject().value("rid").toVariant().toString(), "41");

    // Cancelled with "YES", a test goes back to pending.
    UserHelperBrelvo::shared().setActiveRequirement({});
    screen->show();
    detail = open(42);
    ASSERT_NE(detail, nullptr);
    EXPECT_EQ(detail->lblRequirementType()->text(), "TEST");  // kind 7
    EXPECT_EQ(detail->sectionCaptions().size(), 6);
    QTest::mouseClick(detail->btnStartTesting(), Qt::LeftButton);
    screen->btnStartedRequirementPressed();
    detail = loaded();
    ASSERT_NE(detail, nullptr);
    QTest::mouseClick(detail->btnCancel(), Qt::LeftButton);
    answer(detail->alert(), true);
    EXPECT_EQ(NetworkClientBrelvo::shared().rrid(), "0");
    EXPECT_EQ(results(42), (QList<int>{1, 0}));

    // Passed, it lists under "PASSED".
    screen->show();
    detail = open(43);
    ASSERT_NE(detail, nullptr);
    QTest::mouseClick(detail->btnStartTesting(), Qt::LeftButton);
    screen->btnStartedRequirementPressed();
    detail = loaded();
    ASSERT_NE(detail, nullptr);
    QTest::mouseClick(detail->btnTestSuccess(), Qt::LeftButton);
    EXPECT_EQ(results(43), (QList<int>{1, 2}));
    EXPECT_TRUE(UserHelperBrelvo::shared().activeRequirement().isEmpty());
    ASSERT_TRUE(showTab(1));
    QList<int> passed;
    for (const QVariant& r : screen->list()) passed << r.toMap().value("rid").toInt();
    std::sort(passed.begin(), passed.end());
    EXPECT_EQ(passed, (QList<int>{43, 47}));
}

}  // namespace
