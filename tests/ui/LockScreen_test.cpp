// The lock screen over a host window: which picture and controls an error
// record gives, the action button and the identity alert, refresh, the
// loading variant and the profile request, driven by real clicks.
#include "ui/SessionTestHost.h"

#include "platform/ActivityIndicator.h"
#include "platform/ImageButton.h"
#include "platform/NotificationCenter.h"
#include "platform/UrlOpener.h"
#include "platform/ViewTags.h"
#include "protocol/NetworkClientBrelvo.h"
#include "state/LibrarySettings.h"
#include "state/NotificationNames.h"
#include "state/UserHelperBrelvo.h"
#include "support/LocalHttpServer.h"
#include "support/TestSupport.h"
#include "ui/session/BVAlert.h"
#include "ui/session/LockScreenViewControllerBrelvo.h"

#include <QGuiApplication>
#include <QLabel>
#include <QTextEdit>

#include <cstdlib>

#include <httplib.h>

#include <atomic>

using namespace brelvo;

namespace {

ErrorInfo record(const QString& message, const QVariantMap& scheme = {}) {
    QVariantMap answer{{QStringLiteral("error"), message}};
    if (!scheme.isEmpty()) answer.insert(QStringLiteral("url_scheme"), scheme);
    return ErrorInfo(answer);
}

// A refusal whose action button has this title and opens this address.
ErrorInfo withButton(const QString& title, const QString& url = {}) {
    QVariantMap scheme{{QStringLiteral("title"), title}};
    if (!url.isNull()) scheme.insert(QStringLiteral("url"), url);
    return record(QStringLiteral("Refused"), scheme);
}

class LockScreenTest : public test::SessionHostTest {
protected:
    void SetUp() override {
        test::SessionHostTest::SetUp();
        urls::setOpenerForTesting(
            [this](const QUrl& url) {
                opened.append(url.toString());
                return true;
            },
            [this](const QString& scheme) { return openableSchemes.contains(scheme); });
        NotificationCenter::defaultCenter().addObserver(
            notifications::kAuthentication, [this](const Notification&) { ++authentications; }, this);
        LibrarySettings::sharedInstance().setupInfoFromProfileResponse(QStringLiteral("{}"));
    }
    void TearDown() override {
        NotificationCenter::defaultCenter().removeObserver(this);
        urls::setOpenerForTesting({});
        delete lock;
        test::SessionHostTest::TearDown();
    }

    // Shown as the facade shows its lock screen: over the last window, the size of the screen.
    LockScreenViewControllerBrelvo* show(const ErrorInfo& info) {
        UserHelperBrelvo::shared().setErrorInfo(info);
        lock = LockScreenViewControllerBrelvo::showOver(layer.get(), LockScreenViewControllerBrelvo::kTag);
        return lock;
    }

    QStringList opened;
    QStringList openableSchemes{QStringLiteral("https"), QStringLiteral("mailto")};
    int authentications = 0;
    QPointer<LockScreenViewControllerBrelvo> lock;
};

TEST_F(LockScreenTest, RefusalShowsTheRefusalPictureAndTheServicesActionButton) {
    show(record(QStringLiteral("Build 12 is not allowed for testing"),
                {{QStringLiteral("title"), QStringLiteral("Open Brelvo")},
                 {QStringLiteral("url"), QStringLiteral("https://brelvo.example/app")}}));
    EXPECT_EQ(tags::viewWithTag(layer.get(), 991), lock.data());
    EXPECT_TRUE(lock->locksImage()->isVisible());
    EXPECT_FALSE(lock->connectionErrorImage()->isVisible());
    EXPECT_EQ(lock->errorMessageView()->toPlainText(), QStringLiteral("Build 12 is not allowed for testing"));
    ASSERT_TRUE(lock->actionButton()->isVisible());
    EXPECT_EQ(lock->actionButton()->text(), QStringLiteral("Open Brelvo"));
    EXPECT_FALSE(lock->refreshButton()->isVisible());

    // The host's own controls cannot be reached through it.
    int hostClicks = 0;
    QObject::connect(hostButton, &QPushButton::clicked, [&] { ++hostClicks; });
    QTest::mouseClick(hostButton, Qt::LeftButton);
    EXPECT_EQ(hostClicks, 0);
}

TEST_F(LockScreenTest, NoResponseShowsTheConnectionPictureAndRefreshOrBecomingActiveWhileShownAsksForAuthentication) {
    show(record(QStringLiteral("No response from server"), {{QStringLiteral("refresh"), 1}}));
    EXPECT_FALSE(lock->locksImage()->isVisible());
    EXPECT_TRUE(lock->connectionErrorImage()->isVisible());
    EXPECT_FALSE(lock->actionButton()->isVisible());
    ASSERT_TRUE(lock->refreshButton()->isVisible());

    QTest::mouseClick(lock->refreshButton(), Qt::LeftButton);
    EXPECT_EQ(authentications, 1);

    // The same controller shows the next record afresh.
    UserHelperBrelvo::shared().setErrorInfo(record(QStringLiteral("Refused")));
    lock->setupWithErrorInfo();
    EXPECT_TRUE(lock->locksImage()->isVisible());
    EXPECT_FALSE(lock->connectionErrorImage()->isVisible());
    EXPECT_FALSE(lock->refreshButton()->isVisible());

    emit qGuiApp->applicationStateChanged(Qt::ApplicationActive);
    EXPECT_EQ(authentications, 2);
    emit qGuiApp->applicationStateChanged(Qt::ApplicationInactive);
    EXPECT_EQ(authentications, 2);
    // Removed as the facade removes it: hidden and taken off its window.
    lock->hide();
    lock->setParent(nullptr);
    emit qGuiApp->applicationStateChanged(Qt::ApplicationActive);
    EXPECT_EQ(authentications, 2);
}

TEST_F(LockScreenTest, PhoneAndTabletLayouts) {
    show(record(QStringLiteral("Refused"), {{QStringLiteral("title"), QStringLiteral("Go")},
                                             {QStringLiteral("refresh"), true}}));
    EXPECT_EQ(lock->geometry(), QRect(0, 0, 320, 568));
    EXPECT_EQ(lock->logo()->geometry(), QRect(90, 50, 140, 20));
    EXPECT_EQ(lock->locksImage()->geometry(), QRect(110, 105, 100, 130));
    EXPECT_EQ(lock->connectionErrorImage()->geometry(), QRect(110, 125, 100, 100));
    EXPECT_EQ(lock->actionButton()->geometry(), QRect(85, 320, 150, 29));
    EXPECT_EQ(lock->refreshButton()->geometry(), QRect(280, 10, 30, 30));
    // A long message scrolls above the action button rather than under it.
    EXPECT_EQ(lock->errorMessageView()->geometry(), QRect(56, 260, 208, 52));
    UserHelperBrelvo::shared().setErrorInfo(record(QStringLiteral("Refused")));
    lock->setupWithErrorInfo();
    EXPECT_EQ(lock->errorMessageView()->geometry(), QRect(56, 260, 208, 160));
    delete lock;

    qApp->setProperty("brelvo_idiom", QStringLiteral("tablet"));
    makeHost(QSize(768, 1024));
    show(record(QStringLiteral("Refused")));
    EXPECT_EQ(lock->logo()->geometry(), QRect(213, 172, 341, 56));
    EXPECT_EQ(lock->locksImage()->geometry(), QRect(309, 284, 150, 150));
    EXPECT_EQ(lock->connectionErrorImage()->geometry(), QRect(254, 284, 260, 242));
    EXPECT_EQ(lock->errorMessageView()->geometry(), QRect(213, 544, 341, 100));
    EXPECT_EQ(lock->actionButton()->geometry(), QRect(246, 678, 276, 65));
    EXPECT_EQ(lock->refreshButton()->geometry(), QRect(700, 50, 40, 40));

    // Wider screens keep the elements centred.
    host->resize(1024, 768);
    ASSERT_TRUE(test::waitFor([&] { return lock->width() == 1024; }));
    EXPECT_EQ(lock->logo()->geometry(), QRect(341, 172, 341, 56));
    EXPECT_EQ(lock->refreshButton()->geometry(), QRect(1024 - 28 - 40, 50, 40, 40)) << "in its corner";
}

TEST_F(LockScreenTest, HostStyleSheetsDoNotPaintOverTheScreen) {
    host->setStyleSheet(QStringLiteral("background: rgb(255, 0, 0);"));
    show(record(QStringLiteral("Refused"), {{QStringLiteral("refresh"), true}}));
    const QImage shot = lock->grab().toImage();
    const qreal dpr = shot.devicePixelRatio();
    auto at = [&](const QPoint& p) { return shot.pixelColor((QPointF(p) * dpr).toPoint()); };
    const QColor dark(40, 40, 40);
    EXPECT_EQ(at(QPoint(5, 5)), dark);
    EXPECT_EQ(at(lock->logo()->geometry().topLeft() + QPoint(1, 1)), dark);
    EXPECT_EQ(at(lock->locksImage()->geometry().topLeft() + QPoint(1, 1)), dark);
    EXPECT_EQ(at(lock->refreshButton()->geometry().topLeft()), dark);
}

TEST_F(LockScreenTest, ActionButtonOpensAddressesWithOrWithoutSlashesWhenTheirSchemeCanBeOpened) {
    test::LogCapture log("brelvo");
    show(withButton(QStringLiteral("Open"), QStringLiteral("https://brelvo.example/a?b=1")));
    for (const QString& url : {QStringLiteral("https://brelvo.example/a?b=1"), QStringLiteral("mailto:team@brelvo.example")}) {
        UserHelperBrelvo::shared().setErrorInfo(withButton(QStringLiteral("Open"), url));
        lock->setupWithErrorInfo();
        QTest::mouseClick(lock->actionButton(), Qt::LeftButton);
        EXPECT_EQ(opened.value(opened.size() - 1), url);
    }
    EXPECT_EQ(opened.size(), 2);
    EXPECT_EQ(visibleAlert(), nullptr);

    // No scheme at all: nothing can open it, so the tester is asked to install the app.
    UserHelperBrelvo::shared().setErrorInfo(withButton(QStringLiteral("Go"), QStringLiteral("nothing here")));
    lock->setupWithErrorInfo();
    QTest::mouseClick(lock->actionButton(), Qt::LeftButton);
    EXPECT_EQ(opened.size(), 2);
    EXPECT_NE(visibleAlert(), nullptr);
    EXPECT_GE(log.count(QStringLiteral("has no \"//\"")), 1);
}

TEST_F(LockScreenTest, UnknownSchemeRaisesTheIdentityAlertAndYesOpensTheStoredInstallAddress) {
    show(withButton(QStringLiteral("Open"), QStringLiteral("brelvo-app://session/7")));
    QTest::mouseClick(lock->actionButton(), Qt::LeftButton);
    EXPECT_TRUE(opened.isEmpty());
    BVAlert* alert = visibleAlert();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->titleLabel()->text(), QStringLiteral("Error"));
    EXPECT_EQ(alert->messageView()->toPlainText(),
              QStringLiteral("Seems like Brelvo for iOS is not installed. Do you want to install it?"));
    ASSERT_NE(alert->cancelButton(), nullptr);
    ASSERT_NE(alert->otherButton(), nullptr);
    EXPECT_EQ(alert->cancelButton()->text(), QStringLiteral("NO"));
    EXPECT_EQ(alert->otherButton()->text(), QStringLiteral("YES"));
    EXPECT_FALSE(lock->isEnabled());  // the lock screen waits behind the alert

    // "NO" closes it and nothing opens.
    QTest::mouseClick(alert->cancelButton(), Qt::LeftButton);
    EXPECT_TRUE(lock->isEnabled());
    ASSERT_TRUE(test::waitFor([&] { return visibleAlert() == nullptr; }));
    EXPECT_TRUE(opened.isEmpty());

    LibrarySettings::sharedInstance().setupInfoFromProfileResponse(
        QStringLiteral(R"({"payload":{"schemas":{"install":"https://brelvo.example/install"}}})"));
    test::LogCapture log("brelvo");
    QTest::mouseClick(lock->actionButton(), Qt::LeftButton);
    ASSERT_NE(visibleAlert(), nullptr);
    QTest::mouseClick(visibleAlert()->otherButton(), Qt::LeftButton);
    EXPECT_EQ(opened, QStringList{QStringLiteral("https://brelvo.example/install")});
    EXPECT_TRUE(log.contains(QStringLiteral("sceme: https://brelvo.example/install")));
}

// A service on a loopback port that answers "profile" as the test says.
class ProfileService {
public:
    explicit ProfileService(std::string answer) : answer_(std::move(answer)) {
        http_.server().Post("/api/1_0/lib/profile", [this](const httplib::Request&, httplib::Response& res) {
            ++requests;
            res.set_content(answer_, "application/json");
        });
        http_.start();
        qApp->setProperty("brelvo_service_url", http_.url());
    }
    ~ProfileService() {
        http_.stop();
        qApp->setProperty("brelvo_service_url", QVariant());
    }
    std::atomic<int> requests{0};

private:
    std::string answer_;
    test::LocalHttpServer http_;
};

TEST_F(LockScreenTest, YesWithoutInstallAddressAsksTheProfileAndOpensItsInstallAddress) {
    ProfileService service(R"({"response_code":0,"payload":{"schemas":{"install":"https://brelvo.example/get"}}})");
    NetworkClientBrelvo::shared().setTimeout(std::chrono::milliseconds(5000));
    show(withButton(QStringLiteral("Open"), QStringLiteral("brelvo-app://x")));
    QTest::mouseClick(lock->actionButton(), Qt::LeftButton);
    ASSERT_NE(visibleAlert(), nullptr);
    QTest::mouseClick(visibleAlert()->otherButton(), Qt::LeftButton);
    ASSERT_TRUE(test::waitFor([&] { return !opened.isEmpty(); }));
    EXPECT_EQ(opened, QStringList{QStringLiteral("https://brelvo.example/get")});
    EXPECT_EQ(service.requests.load(), 1);
}

TEST_F(LockScreenTest, RefusedProfileRequestShowsTheServicesAnswer) {
    ProfileService service(R"({"response_code":3,"error":"Device is blocked","url_scheme":{"refresh":true}})");
    NetworkClientBrelvo::shared().setTimeout(std::chrono::milliseconds(5000));
    show(withButton(QStringLiteral("Open")));
    lock->successButtonPressed();
    ASSERT_TRUE(test::waitFor([&] { return lock->errorMessageView()->toPlainText() == "Device is blocked"; }));
    EXPECT_EQ(UserHelperBrelvo::shared().errorInfo().errorMessage(), QStringLiteral("Device is blocked"));
    EXPECT_TRUE(lock->refreshButton()->isVisible());
    EXPECT_FALSE(lock->actionButton()->isVisible());
    EXPECT_TRUE(opened.isEmpty());
}

TEST_F(LockScreenTest, LoadingVariantOverTheOverlay) {
    UserHelperBrelvo::shared().setErrorInfo(record(QStringLiteral("old")));
    lock = LockScreenViewControllerBrelvo::showLoadingOver(layer.get());
    ASSERT_NE(lock, nullptr);
    EXPECT_EQ(tags::viewWithTag(layer.get(), 99999), lock.data());
    EXPECT_EQ(UserHelperBrelvo::shared().errorInfo().errorMessage(), QStringLiteral("Loading. Please wait"));
    EXPECT_EQ(lock->errorMessageView()->toPlainText(), QStringLiteral("Loading. Please wait"));
    EXPECT_TRUE(lock->locksImage()->isVisible());
    const QRect picture = lock->locksImage()->geometry();
    EXPECT_EQ(picture.width(), picture.height());
    EXPECT_EQ(picture.left() * 2 + picture.width(), lock->width());  // centred
    ActivityIndicator* spinner = lock->activityIndicator();
    ASSERT_NE(spinner, nullptr);
    EXPECT_TRUE(spinner->isVisible());
    EXPECT_TRUE(spinner->isAnimating());
    EXPECT_GT(spinner->y(), picture.bottom());
    EXPECT_LE(std::abs(spinner->x() * 2 + spinner->width() - lock->width()), 1) << "centred";
}

TEST(UrlOpener, WebMailAndFileAlwaysOpenOtherSchemesNeedAHandler) {
    EXPECT_TRUE(urls::canOpenURL(QUrl(QStringLiteral("https://"))));
    EXPECT_TRUE(urls::canOpenURL(QUrl(QStringLiteral("HTTP://example.com"))));
    EXPECT_TRUE(urls::canOpenURL(QUrl(QStringLiteral("mailto:a@b.example"))));
    EXPECT_TRUE(urls::canOpenURL(QUrl(QStringLiteral("file:///tmp"))));
    EXPECT_FALSE(urls::canOpenURL(QUrl(QStringLiteral("//"))));
    EXPECT_FALSE(urls::canOpenURL(QUrl()));
    EXPECT_FALSE(urls::canOpenURL(QUrl(QStringLiteral("brelvo-no-handler-7f3a://x"))));

    QList<QUrl> opened;
    urls::setOpenerForTesting([&](const QUrl& url) {
        opened.append(url);
        return true;
    });
    EXPECT_TRUE(urls::canOpenURL(QUrl(QStringLiteral("brelvo-no-handler-7f3a://x"))));
    EXPECT_TRUE(urls::openURL(QUrl(QStringLiteral("brelvo-no-handler-7f3a://x"))));
    urls::setOpenerForTesting({});
    EXPECT_EQ(opened, QList<QUrl>{QUrl(QStringLiteral("brelvo-no-handler-7f3a://x"))});
    EXPECT_FALSE(urls::canOpenURL(QUrl(QStringLiteral("brelvo-no-handler-7f3a://x"))));
}

}  // namespace
