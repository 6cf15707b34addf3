// Sessions through the real widgets and the real brelvo-service: the library
// started by its one call, answering authentication in each of its ways.
#include <brelvo/Brelvo.h>

#include "core/BrelvoComponents.h"
#include "platform/ImageButton.h"
#include "platform/NotificationCenter.h"
#include "platform/ViewTags.h"
#include "protocol/AnalizeResponseBrelvo.h"
#include "protocol/BVReachability.h"
#include "protocol/JSONClientBrelvo.h"
#include "protocol/NetworkClientBrelvo.h"
#include "service/ServiceHarness.h"
#include "state/BrelAuthenticationDM.h"
#include "state/BrelvoDataStore.h"
#include "state/LibrarySettings.h"
#include "state/NotificationNames.h"
#include "state/UserHelperBrelvo.h"
#include "support/TestSupport.h"
#include "ui/requirements/RequirementsSource.h"
#include "ui/session/BrelvoWindow.h"
#include "ui/session/CustomViewBrelvo.h"
#include "ui/session/LockScreenViewControllerBrelvo.h"

#include <QGuiApplication>
#include <QJsonArray>
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include <QTest>

using namespace brelvo;
using brelvo::service::test::ServiceFixture;

namespace {

class SessionTest : public ServiceFixture {
protected:
    void SetUp() override {
        ServiceFixture::SetUp();
        if (IsSkipped()) return;
        QGuiApplication::setDesktopFileName(QStringLiteral("org.brelvo.notes"));
        QCoreApplication::setApplicationVersion(QStringLiteral("2.4"));
        qApp->setProperty("brelvo_project_id", QStringLiteral("demo-key-0001"));
        useService();
        NetworkClientBrelvo::shared().setTimeout(std::chrono::milliseconds(5000));
        BVReachability::setResolveTimeout(2000);
        host.resize(320, 568);
        host.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
        NotificationCenter::defaultCenter().addObserver(notifications::kCloseLockScreen,
                                                        [this](const Notification&) { ++lockScreensClosed; }, this);
    }
    void TearDown() override {
        NotificationCenter::defaultCenter().removeObserver(this);
        ServiceFixture::TearDown();
    }

    void useService() { qApp->setProperty("brelvo_service_url", QStringLiteral("http://127.0.0.1:%1/").arg(service_.port())); }
    void goOffline() { qApp->setProperty("brelvo_service_url", QStringLiteral("http://brelvo-service.invalid/")); }

    static CustomViewBrelvo* panel() { return components().mainView(); }
    static bool waitMode(int mode) {
        return test::waitFor([mode] { return panel() && panel()->buttonMode() == mode; }, std::chrono::seconds(20));
    }
    // The lock screen over the overlay, once it shows.
    static LockScreenViewControllerBrelvo* lockScreen() {
        BrelvoWindow* w = components().getBVLibWindow();
        auto* lock = w ? qobject_cast<LockScreenViewControllerBrelvo*>(tags::viewWithTag(w, 991)) : nullptr;
        return lock && lock->isVisible() ? lock : nullptr;
    }
    static QString message() { return UserHelperBrelvo::shared().errorInfo().errorMessage(); }
    static bool loadingShown() { return panel() && tags::viewWithTag(panel(), 99999) != nullptr; }

    void start(int options = 0) { Brelvo::shared().initializeWithOptions(options); }
    void reauthenticate() { NotificationCenter::defaultCenter().post(notifications::kAuthentication); }
    int requests(const char* method) {
        int n = 0;
        for (const QJsonValue& r : client_->records().value(QStringLiteral("requests")).toArray())
            n += r.toObject().value(QStringLiteral("method")).toString() == QLatin1String(method);
        return n;
    }
    QString label(const char* name) {
        auto* l = panel()->findChild<QLabel*>(QString::fromLatin1(name));
        return l ? l->text() : QStringLiteral("<missing>");
    }

    QWidget host;
    int lockScreensClosed = 0;
};

}  // namespace

TEST_F(SessionTest, AcceptedSessionOpensTheMenuForUseWithTheRequirementsSorted) {
    start();
    ASSERT_TRUE(waitMode(1));
    EXPECT_TRUE(test::waitFor([] { return !loadingShown(); }));
    EXPECT_GE(lockScreensClosed, 1);
    EXPECT_EQ(lockScreen(), nullptr);
    const QJsonArray sessions = client_->records().value(QStringLiteral("sessions")).toArray();
    ASSERT_EQ(sessions.size(), 1);
    EXPECT_EQ(NetworkClientBrelvo::shared().access_token(),
              sessions[0].toObject().value(QStringLiteral("access_token")).toString());
    EXPECT_TRUE(Brelvo::shared().isInit());
    // The settings carry the session, so the profile request is accepted.
    EXPECT_TRUE(test::waitFor([] {
        return LibrarySettings::sharedInstance().accessToken() == NetworkClientBrelvo::shared().access_token();
    }));
    const QString profile = NetworkClientBrelvo::shared().makePOSTRequestWithMethod(
        QStringLiteral("profile"), JSONClientBrelvo::shared().getDataForProfileResponse());
    EXPECT_FALSE(AnalizeResponseBrelvo::shared().isErrorWithString(profile)) << profile.toStdString();
    // The menu, made when it first opens, shows what the session delivered
    // before: the application box shows the build under test.
    panel()->showBrelMenu(true, 0.5);
    EXPECT_TRUE(test::waitFor([&] { return label("appTitle") == QStringLiteral("Notes"); }));
    EXPECT_FALSE(label("appRevision").isEmpty());
    // The demo build has a running requirement: its labels and colour show.
    EXPECT_TRUE(test::waitFor([&] { return label("lblRevisionTitle") == QStringLiteral("TESTCASE"); }));
    EXPECT_FALSE(label("lblRequirementsCode").isEmpty());
    EXPECT_FALSE(NetworkClientBrelvo::shared().rrid().isEmpty());
    EXPECT_TRUE(panel()->findChild<QPushButton*>(QStringLiteral("btnRequirements"))->isHidden());

    // The requirement list arrives sorted by priority, with the running one.
    QVariantList sorted;
    QVariant running;
    bool ready = false;
    QObject::connect(panel(), &CustomViewBrelvo::requirementsReady, panel(), [&](const QVariantList& list, const QVariant& r) {
        sorted = list;
        running = r;
        ready = true;
    });
    panel()->getRequirements();
    ASSERT_TRUE(test::waitFor([&] { return ready; }, std::chrono::seconds(20)));
    ASSERT_FALSE(sorted.isEmpty());
    for (qsizetype i = 1; i < sorted.size(); ++i)
        EXPECT_GE(sorted[i - 1].toMap().value(QStringLiteral("priority")).toLongLong(),
                  sorted[i].toMap().value(QStringLiteral("priority")).toLongLong());
    EXPECT_EQ(panel()->requirements(), sorted);
    EXPECT_EQ(panel()->requirementsSource()->rows(), sorted);
    EXPECT_EQ(panel()->requirementsSource()->running(), running);
    EXPECT_EQ(UserHelperBrelvo::shared().activeRequirement(), running.toMap());
    EXPECT_EQ(NetworkClientBrelvo::shared().page_size().toInt(), 5);
    // The build's priority names came with the session.
    EXPECT_EQ(UserHelperBrelvo::shared().getPriorityByPriorityNumber(3), QStringLiteral("HIGH"));
}

TEST_F(SessionTest, RefusalWithAnErrorTextLocksWithThatText) {
    client_->admin("/admin/faults", R"({"kind":"code","count":1,"code":3,"error":"This build is locked by its owner","refresh":true})");
    start();
    ASSERT_TRUE(waitMode(2));
    ASSERT_TRUE(test::waitFor([] { return lockScreen() != nullptr; }));
    EXPECT_EQ(message(), QStringLiteral("This build is locked by its owner"));
    EXPECT_FALSE(Brelvo::shared().isInit());
    EXPECT_EQ(components().getBVLibWindow()->frame().topLeft(), QPoint(0, 0));  // on screen, taking input
    EXPECT_TRUE(test::waitFor([] { return !loadingShown(); }));

    // Refresh on the lock screen: the service accepts again and the lock goes.
    ASSERT_NE(lockScreen()->refreshButton(), nullptr);
    lockScreen()->refreshButton()->click();
    ASSERT_TRUE(waitMode(1));
    EXPECT_TRUE(test::waitFor([] { return lockScreen() == nullptr; }));
    EXPECT_TRUE(Brelvo::shared().isInit());
    // The overlay goes back aside and its floating buttons show at the edge again.
    BrelvoWindow* w = components().getBVLibWindow();
    EXPECT_TRUE(test::waitFor([w] { return w->frame().x() == -w->frame().width(); }));
    EXPECT_TRUE(w->brelvoSlider()->isVisible());
}

TEST_F(SessionTest, EmptyAndWebPageAnswersLockWithTheirMessages) {
    // Faults that last: a lock screen may ask again by itself when the
    // application becomes active, and must meet the same answer.
    client_->admin("/admin/faults", R"({"kind":"empty","count":100})");
    start();
    ASSERT_TRUE(waitMode(2));
    ASSERT_TRUE(test::waitFor([] { return lockScreen() != nullptr; }));
    EXPECT_TRUE(test::waitFor([] {
        return lockScreen() && lockScreen()->errorMessageView()->toPlainText() == QStringLiteral("No response from server");
    }));
    EXPECT_TRUE(lockScreen()->refreshButton()->isVisible());

    client_->admin("/admin/reset-faults", "{}");
    client_->admin("/admin/faults", R"({"kind":"html","count":100})");
    reauthenticate();
    EXPECT_TRUE(test::waitFor([] {
        return lockScreen() && lockScreen()->errorMessageView()->toPlainText().startsWith(
                                   QStringLiteral("Invalid response from server\n\nResponse: <"));
    }, std::chrono::seconds(20)));
    EXPECT_EQ(panel()->buttonMode(), 2);

    client_->admin("/admin/reset-faults", "{}");
    reauthenticate();
    ASSERT_TRUE(waitMode(1));
    EXPECT_TRUE(test::waitFor([] { return lockScreen() == nullptr; }));
}

TEST_F(SessionTest, OfflineAtTheFirstStartHasNoCacheToUse) {
    goOffline();
    start();
    ASSERT_TRUE(waitMode(2));
    EXPECT_EQ(message(), QStringLiteral("Offline mode was disabled.\n There is no cached data!"));
    EXPECT_TRUE(test::waitFor([] { return lockScreen() != nullptr; }));
    EXPECT_EQ(requests("auth"), 0);
}

TEST_F(SessionTest, OfflineWithACachedSessionWorksFromItWithoutARequest) {
    start();
    ASSERT_TRUE(waitMode(1));
    const QString token = NetworkClientBrelvo::shared().access_token();
    const int before = requests("auth");
    goOffline();
    NetworkClientBrelvo::shared().setToken(QString());
    reauthenticate();
    ASSERT_TRUE(test::waitFor([&] { return NetworkClientBrelvo::shared().access_token() == token; }, std::chrono::seconds(20)));
    EXPECT_TRUE(waitMode(1));
    EXPECT_EQ(lockScreen(), nullptr);
    useService();
    EXPECT_EQ(requests("auth"), before);
}

TEST_F(SessionTest, OfflineWithOfflineModeOffLocks) {
    Brelvo::shared().setOfflineMode(false);
    goOffline();
    start();
    ASSERT_TRUE(waitMode(2));
    EXPECT_EQ(message(), QStringLiteral("Offline mode was disabled."));
    EXPECT_FALSE(Brelvo::shared().isInit());
}

TEST_F(SessionTest, CachedUnknownRevisionLocksAsUnknownUnlessLockingMode) {
    start();
    ASSERT_TRUE(waitMode(1));
    // A stored authentication whose code says the build is unknown.
    BrelvoDataStore::shared().saveResponseCode(77);
    goOffline();
    reauthenticate();
    ASSERT_TRUE(waitMode(3));
    EXPECT_EQ(message(), QStringLiteral("Unknown Revision"));
    EXPECT_FALSE(Brelvo::shared().isInit());
    EXPECT_TRUE(test::waitFor([] { return lockScreen() != nullptr; }));
}

TEST_F(SessionTest, CachedUnknownRevisionInLockingModeShowsNoResponse) {
    start(Brelvo::LockingMode);
    ASSERT_TRUE(waitMode(1));
    BrelvoDataStore::shared().saveResponseCode(74);
    goOffline();
    reauthenticate();
    // The facade's lock screen shows the missing answer, with its refresh button.
    ASSERT_TRUE(test::waitFor([] {
        LockScreenViewControllerBrelvo* lock = components().lockScreen();
        return lock && lock->isVisible() && lock->errorMessageView()->toPlainText() == QStringLiteral("No response from server");
    }, std::chrono::seconds(20)));
    EXPECT_TRUE(components().lockScreen()->refreshButton()->isVisible());
    EXPECT_EQ(panel()->buttonMode(), 2);
}

TEST_F(SessionTest, WithoutARunningRequirementTheMenuOffersToChooseOne) {
    start();
    ASSERT_TRUE(waitMode(1));
    panel()->showBrelMenu(true, 0.5);
    ASSERT_TRUE(test::waitFor([&] { return label("lblRevisionTitle") == QStringLiteral("TESTCASE"); }));
    // Finish the running requirement, then ask again.
    const QString rid = NetworkClientBrelvo::shared().rrid();
    client_->call("requirement_result",
                  brelvo::service::test::requirementResultBody(NetworkClientBrelvo::shared().access_token().toStdString(),
                                                               rid.toStdString(), "2"));
    reauthenticate();
    ASSERT_TRUE(test::waitFor([&] { return label("lblRevisionTitle") == QStringLiteral("TEST"); }, std::chrono::seconds(20)));
    EXPECT_TRUE(NetworkClientBrelvo::shared().rrid().isNull());
    EXPECT_FALSE(panel()->findChild<QPushButton*>(QStringLiteral("btnRequirements"))->isHidden());
    EXPECT_TRUE(label("lblRequirementsCode").isEmpty());
}

TEST_F(SessionTest, ComingBackToTheApplicationWhileLockedTriesAgain) {
    client_->admin("/admin/faults", R"({"kind":"code","count":100,"code":3,"error":"Service closed for maintenance"})");
    start();
    ASSERT_TRUE(waitMode(2));
    ASSERT_TRUE(test::waitFor([] { return lockScreen() != nullptr; }));
    client_->admin("/admin/reset-faults", "{}");
    // The tester switches away and back: the lock screen asks for a new authentication.
    emit qGuiApp->applicationStateChanged(Qt::ApplicationInactive);
    emit qGuiApp->applicationStateChanged(Qt::ApplicationActive);
    ASSERT_TRUE(waitMode(1));
    EXPECT_TRUE(test::waitFor([] { return lockScreen() == nullptr; }));
}
