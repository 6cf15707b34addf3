// The profile screen over a host window: which values it shows and when it
// reads them, its phone and tablet layouts, the picture, the "Logout" and
// "Brelvo" buttons with the install alert, closing, and a host style sheet.
#include "ui/SessionTestHost.h"

#include <brelvo/Brelvo.h>

#include "core/BrelvoComponents.h"
#include "platform/HttpGet.h"
#include "platform/ImageButton.h"
#include "platform/UrlOpener.h"
#include "platform/ViewTags.h"
#include "state/BrelAuthenticationDM.h"
#include "state/LibrarySettings.h"
#include "support/LocalHttpServer.h"
#include "support/TestSupport.h"
#include "ui/common/InitialsPicture.h"
#include "ui/session/BVAlert.h"
#include "ui/session/LockScreenViewControllerBrelvo.h"
#include "ui/session/UserProfileCell.h"
#include "ui/session/UserProfileViewController.h"

#include <QFontInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QTextEdit>

#include <httplib.h>


using namespace brelvo;

namespace {

void signIn(const QString& role, const QString& name, const QString& image = {},
            const QString& revision = QStringLiteral("R"), const QString& project = QStringLiteral("P")) {
    const QVariantMap payload{{"access_token", "token"},
                              {"revision", QVariantMap{{"title", revision}, {"build_number", "212"}, {"project", project}}},
                              {"user", QVariantMap{{"full_name", name}, {"image", image}, {"role", role}}}};
    BrelAuthenticationDM::shared().initWithDictionary(QVariantMap{{"response_code", 0}, {"payload", payload}});
}

// The "profile" answer: the tester's e-mail and the schemes the buttons open.
void profileAnswer(const QString& email, const QString& logout, const QString& open) {
    const QJsonObject payload{{"user", QJsonObject{{"email", email}}},
                              {"schemas", QJsonObject{{"logout", logout}, {"open", open}}}};
    LibrarySettings::sharedInstance().setupInfoFromProfileResponse(
        QString::fromUtf8(QJsonDocument(QJsonObject{{"payload", payload}}).toJson()));
}

// Serves one picture; every other path is missing.
class PictureServer {
public:
    PictureServer() {
        http_.server().Get("/tester.png", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(test::pngOf(Qt::red).toStdString(), "image/png");
        });
        http_.start();
    }
    QString url(const char* path) const { return http_.url(QLatin1String(path)); }

private:
    test::LocalHttpServer http_;
};

class UserProfileTest : public test::SessionHostTest {
protected:
    void SetUp() override {
        test::SessionHostTest::SetUp();
        http::setDefaultGetTimeout(std::chrono::milliseconds(5000));
        urls::setOpenerForTesting(
            [this](const QUrl& url) {
                opened.append(url.toString());
                return true;
            },
            [this](const QString& scheme) { return openableSchemes.contains(scheme); });
        qApp->setProperty("brelvo_service_url", QStringLiteral("https://brelvo.example/"));
        signIn(QStringLiteral("QA lead"), QStringLiteral("Dana Ruiz"), QString(), QStringLiteral("Notes 1.4"),
               QStringLiteral("Notes"));
        profileAnswer(QStringLiteral("dana@notes.example"), QStringLiteral("abc://logout"),
                      QStringLiteral("abc://open"));
    }
    void TearDown() override {
        test::drainPool();
        delete profile;
        urls::setOpenerForTesting({});
        qApp->setProperty("brelvo_service_url", QVariant());
        test::SessionHostTest::TearDown();
    }

    // Added over the library's window, the size of the screen, as the overlay adds it.
    UserProfileViewController* show() {
        if (!profile) profile = new UserProfileViewController(layer.get());
        profile->setGeometry(QRect(QPoint(0, 0), host->size()));
        profile->show();
        profile->raise();
        return profile;
    }

    QStringList opened;
    QStringList openableSchemes{QStringLiteral("https"), QStringLiteral("abc")};
    QPointer<UserProfileViewController> profile;
};

TEST_F(UserProfileTest, ShowsTheTestersValuesInThePhoneAndTabletLayouts) {
    show();
    EXPECT_EQ(profile->userRole()->text(), QStringLiteral("QA lead"));
    EXPECT_EQ(profile->userName()->text(), QStringLiteral("Dana Ruiz"));
    EXPECT_EQ(profile->email()->text(), QStringLiteral("dana@notes.example"));
    EXPECT_EQ(profile->revisionCell()->titleLbl()->text(), QStringLiteral("REVISION"));
    EXPECT_EQ(profile->revisionCell()->valueLbl()->text(), QStringLiteral("Notes 1.4"));
    EXPECT_EQ(profile->projectCell()->titleLbl()->text(), QStringLiteral("PROJECT"));
    EXPECT_EQ(profile->projectCell()->valueLbl()->text(), QStringLiteral("Notes"));
    EXPECT_TRUE(profile->userImage().isNull());
    // Without a picture, the tester's initials on the name's colour.
    const QImage disc = profile->userImageView()->grab().toImage();
    EXPECT_EQ(disc.pixelColor((QPointF(20, 4) * disc.devicePixelRatio()).toPoint()),
              initials::colourFor(QStringLiteral("Dana Ruiz")));

    EXPECT_EQ(profile->btnBack()->geometry(), QRect(7, 7, 40, 30));
    // Mark and wordmark side by side in the bar, clear of the back button.
    const QRect bar(0, 0, 320, 47);
    EXPECT_TRUE(bar.contains(profile->signView()->geometry()));
    EXPECT_TRUE(bar.contains(profile->logoView()->geometry()));
    EXPECT_GT(profile->signView()->x(), profile->btnBack()->geometry().right());
    EXPECT_LT(profile->signView()->geometry().right(), profile->logoView()->x());
    EXPECT_GT(profile->logoView()->width(), 0);
    EXPECT_EQ(profile->table()->geometry(), QRect(0, 47, 320, 568 - 47 - 60));
    EXPECT_EQ(profile->header()->geometry(), QRect(0, 0, 320, 80));
    EXPECT_EQ(profile->userImageView()->geometry(), QRect(260, 20, 40, 40));
    EXPECT_EQ(profile->revisionCell()->geometry(), QRect(0, 80, 320, 50));
    EXPECT_EQ(profile->projectCell()->geometry(), QRect(0, 140, 320, 50));  // after a 10-point band
    // The cards keep the header's margins on both sides, at any width.
    for (const int width : {320, 414}) {
        host->resize(width, 568);
        ASSERT_TRUE(test::waitFor([&] { return profile->width() == width; }));
        for (UserProfileCell* cell : {profile->revisionCell(), profile->projectCell()}) {
            const QRect card = cell->backgroundFrame().translated(cell->mapTo(profile, QPoint(0, 0)));
            EXPECT_EQ(card.left(), 20) << width;
            EXPECT_EQ(profile->width() - 1 - card.right(), 20) << width;
        }
    }
    host->resize(320, 568);
    ASSERT_TRUE(test::waitFor([&] { return profile->width() == 320; }));
    EXPECT_EQ(profile->btnLogout()->geometry(), QRect(0, 508, 160, 60));
    EXPECT_EQ(profile->btnBV()->geometry(), QRect(160, 508, 160, 60));
    EXPECT_EQ(profile->btnLogout()->text(), QStringLiteral("Logout"));
    EXPECT_EQ(profile->btnBV()->text(), QStringLiteral("Brelvo"));
    for (QWidget* label : {static_cast<QWidget*>(profile->userRole()), static_cast<QWidget*>(profile->userName()),
                           static_cast<QWidget*>(profile->email())})
        EXPECT_LE(label->geometry().right(), profile->userImageView()->geometry().left());

    // Whatever frame its owner gives it, it covers the screen and follows the host window.
    profile->setGeometry(0, 0, 320, 588);
    EXPECT_EQ(profile->size(), QSize(320, 568));
    host->resize(568, 320);
    ASSERT_TRUE(test::waitFor([&] { return profile->size() == QSize(568, 320); }));
    EXPECT_EQ(profile->btnBV()->geometry(), QRect(284, 260, 284, 60));

    // The tablet layout.
    qApp->setProperty("brelvo_idiom", QStringLiteral("tablet"));
    makeHost(QSize(768, 1024));
    show();
    EXPECT_EQ(profile->btnBack()->geometry(), QRect(7, 7, 40, 30));
    EXPECT_EQ(profile->header()->geometry(), QRect(0, 0, 768, 160));
    EXPECT_EQ(profile->userImageView()->geometry(), QRect(648, 40, 80, 80));
    EXPECT_EQ(profile->revisionCell()->geometry(), QRect(0, 160, 768, 100));
    EXPECT_EQ(profile->projectCell()->geometry(), QRect(0, 280, 768, 100));
    EXPECT_EQ(profile->revisionCell()->titleLbl()->textFont().pixelSize(), 15);
    EXPECT_EQ(profile->revisionCell()->valueLbl()->textFont().pixelSize(), 17);
    EXPECT_EQ(profile->btnLogout()->geometry(), QRect(0, 964, 384, 60));
    EXPECT_EQ(profile->btnBV()->geometry(), QRect(384, 964, 384, 60));
}

TEST_F(UserProfileTest, ThePictureComesThroughTheCacheAndStaysEmptyWithoutOne) {
    PictureServer server;
    signIn(QStringLiteral("Tester"), QStringLiteral("Ana"), server.url("tester.png"));
    show();
    ASSERT_TRUE(test::waitFor([&] { return !profile->userImage().isNull(); }));
    EXPECT_EQ(profile->userImage().pixelColor(0, 0), QColor(Qt::red));

    // Another tester without a picture: the old one goes at once and nothing replaces it.
    profile->hide();
    signIn(QStringLiteral("Tester"), QStringLiteral("Ben"), server.url("missing.png"));
    profile->show();
    EXPECT_TRUE(profile->userImage().isNull());
    ASSERT_TRUE(test::drainPool());
    EXPECT_TRUE(profile->userImage().isNull());

    // Closed before the fetch came back: nothing is touched.
    signIn(QStringLiteral("Tester"), QStringLiteral("Ana"), server.url("tester.png"));
    profile->hide();
    profile->show();
    delete profile;
    EXPECT_TRUE(test::drainPool());
}

TEST_F(UserProfileTest, TheFacadeReusesItsScreenShowsFreshValuesAndTheBackButtonTakesItAway) {
    BrelvoComponents& brelvo = components();
    layer->setFrame(QRect(-320, 0, 320, 568));  // as the overlay sits with its menu closed
    brelvo.showUserProfileScreen();
    ASSERT_TRUE(test::waitFor([&] { return brelvo.userProfileScreen() && brelvo.userProfileScreen()->isVisible(); }));
    QPointer<UserProfileViewController> first = brelvo.userProfileScreen();
    EXPECT_EQ(tags::viewWithTag(layer.get(), 992), first.data());
    // The facade's frame reaches 20 points below the screen; the screen keeps to the screen.
    EXPECT_EQ(first->geometry(), QRect(0, 0, 320, 568));
    EXPECT_EQ(first->btnBV()->geometry(), QRect(160, 508, 160, 60));
    EXPECT_EQ(layer->frame(), QRect(0, 0, 320, 568));  // the window centred on the screen
    EXPECT_EQ(first->userName()->text(), QStringLiteral("Dana Ruiz"));

    // Nobody listens to the back button here: the screen leaves the window by itself.
    QTest::mouseClick(first->btnBack(), Qt::LeftButton);
    EXPECT_FALSE(first->isVisible());
    EXPECT_EQ(tags::viewWithTag(layer.get(), 992), nullptr);
    ASSERT_FALSE(first.isNull());

    signIn(QStringLiteral("Developer"), QStringLiteral("Eli Moss"), QString(), QStringLiteral("Notes 1.5"),
           QStringLiteral("Notes Pro"));
    profileAnswer(QStringLiteral("eli@notes.example"), QString(), QString());
    brelvo.showUserProfileScreen();
    ASSERT_TRUE(test::waitFor([&] { return first->isVisible(); }));
    EXPECT_EQ(brelvo.userProfileScreen(), first.data());
    EXPECT_EQ(tags::viewWithTag(layer.get(), 992), first.data());
    EXPECT_EQ(first->userRole()->text(), QStringLiteral("Developer"));
    EXPECT_EQ(first->userName()->text(), QStringLiteral("Eli Moss"));
    EXPECT_EQ(first->email()->text(), QStringLiteral("eli@notes.example"));
    EXPECT_EQ(first->revisionCell()->valueLbl()->text(), QStringLiteral("Notes 1.5"));
    EXPECT_EQ(first->projectCell()->valueLbl()->text(), QStringLiteral("Notes Pro"));

    // Shown again while still on screen: the values are read again all the same.
    signIn(QStringLiteral("Developer"), QStringLiteral("Eli M."), QString(), QStringLiteral("Notes 1.5"),
           QStringLiteral("Notes Max"));
    brelvo.showUserProfileScreen();
    ASSERT_TRUE(test::waitFor([&] { return first->userName()->text() == QStringLiteral("Eli M."); }));
    EXPECT_EQ(first->projectCell()->valueLbl()->text(), QStringLiteral("Notes Max"));
    EXPECT_EQ(layer->findChildren<UserProfileViewController*>().size(), 1);

    brelvo.removeUserProfileScreen();
    ASSERT_TRUE(test::waitFor([&] { return tags::viewWithTag(layer.get(), 992) == nullptr; }));
}

TEST_F(UserProfileTest, ButtonsOpenTheirSchemesWhenAnApplicationHandlesThemAndAListeningPresenterCloses) {
    test::LogCapture log("brelvo");
    show();
    // A presenter that listens closes the screen itself.
    int requests = 0;
    QObject::connect(profile, &UserProfileViewController::dismissRequested, [&] { ++requests; });
    QTest::mouseClick(profile->btnBack(), Qt::LeftButton);
    EXPECT_EQ(requests, 1);
    EXPECT_TRUE(profile->isVisible());
    EXPECT_EQ(profile->parentWidget(), layer.get());

    QTest::mouseClick(profile->btnLogout(), Qt::LeftButton);
    EXPECT_EQ(opened, QStringList{QStringLiteral("abc://logout")});
    EXPECT_TRUE(log.contains(QStringLiteral("logoutURL: abc://logout")));
    QTest::mouseClick(profile->btnBV(), Qt::LeftButton);
    EXPECT_EQ(opened, (QStringList{QStringLiteral("abc://logout"), QStringLiteral("abc://open")}));
    EXPECT_TRUE(log.contains(QStringLiteral("openURL: abc://open")));
    EXPECT_EQ(visibleAlert(), nullptr);
}

TEST_F(UserProfileTest, WithoutAnApplicationTheErrorAlertOffersTheServicesWebAddress) {
    openableSchemes = {QStringLiteral("https")};
    show();
    QTest::mouseClick(profile->btnLogout(), Qt::LeftButton);
    EXPECT_TRUE(opened.isEmpty());
    BVAlert* alert = visibleAlert();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->titleLabel()->text(), QStringLiteral("Error"));
    EXPECT_EQ(alert->messageView()->toPlainText(),
              QStringLiteral("Seems like Brelvo for iOS is not installed. Do you want to install it?"));
    EXPECT_EQ(alert->cancelButton()->text(), QStringLiteral("NO"));
    EXPECT_EQ(alert->otherButton()->text(), QStringLiteral("YES"));
    EXPECT_FALSE(profile->isEnabled());  // the screen waits behind the alert

    QTest::mouseClick(alert->cancelButton(), Qt::LeftButton);
    ASSERT_TRUE(test::waitFor([&] { return visibleAlert() == nullptr; }));
    EXPECT_TRUE(profile->isEnabled());
    EXPECT_TRUE(opened.isEmpty());

    QTest::mouseClick(profile->btnBV(), Qt::LeftButton);
    ASSERT_NE(visibleAlert(), nullptr);
    QTest::mouseClick(visibleAlert()->otherButton(), Qt::LeftButton);
    EXPECT_EQ(opened, QStringList{QStringLiteral("https://brelvo.example/")});
}

TEST_F(UserProfileTest, EmptyOrSchemelessAddressesAskToInstallAndNeverOpen) {
    // Even with every scheme openable, "//" alone names no application.
    urls::setOpenerForTesting([this](const QUrl& url) {
        opened.append(url.toString());
        return true;
    });
    profileAnswer(QStringLiteral("dana@notes.example"), QString(), QStringLiteral("no scheme here"));
    show();
    QTest::mouseClick(profile->btnLogout(), Qt::LeftButton);
    ASSERT_NE(visibleAlert(), nullptr);
    EXPECT_TRUE(opened.isEmpty());
    QTest::mouseClick(visibleAlert()->cancelButton(), Qt::LeftButton);
    ASSERT_TRUE(test::waitFor([&] { return visibleAlert() == nullptr; }));

    profile->tryToOpenURL(QStringLiteral("no scheme here"));
    EXPECT_NE(visibleAlert(), nullptr);
    EXPECT_TRUE(opened.isEmpty());
}

TEST_F(UserProfileTest, AHostStyleSheetDoesNotRestyleTheScreen) {
    host->setStyleSheet(QStringLiteral("QWidget { background: #f4f4f4; color: red; font-size: 30px; }"
                                       "QPushButton, QAbstractButton { background: green; padding: 20px; }"));
    signIn(QStringLiteral("QA"), QStringLiteral("Al"));
    show();
    const QImage shot = profile->grab().toImage();
    const qreal dpr = shot.devicePixelRatio();
    auto at = [&](const QPoint& p) { return shot.pixelColor((QPointF(p) * dpr).toPoint()); };
    const QPoint table = profile->table()->pos();
    const QPoint header = table + profile->header()->pos();

    EXPECT_EQ(at(QPoint(100, 2)), QColor(51, 51, 51));                   // the bar
    EXPECT_EQ(at(QPoint(8, 8)), QColor(51, 51, 51));                     // behind the back arrow
    EXPECT_EQ(at(profile->logoView()->geometry().topLeft()), QColor(51, 51, 51));
    const QColor page(244, 246, 250);
    EXPECT_EQ(at(header + QPoint(5, 5)), page);          // the table's background
    EXPECT_EQ(at(header + profile->email()->geometry().topRight() - QPoint(2, -2)), page);
    const QPoint cell = table + profile->revisionCell()->pos();
    EXPECT_EQ(at(cell + QPoint(10, 25)), page);          // left of the card
    EXPECT_EQ(at(cell + QPoint(290, 25)), QColor(Qt::white));  // the card
    EXPECT_EQ(at(cell + profile->revisionCell()->valueLbl()->geometry().topRight() - QPoint(2, -2)),
              QColor(Qt::white));
    EXPECT_EQ(at(QPoint(5, 565)), QColor(32, 144, 192));  // "Logout"
    EXPECT_EQ(at(QPoint(315, 565)), QColor(230, 230, 230));                           // "Brelvo"
    EXPECT_EQ(profile->userName()->textFont().pixelSize(), 17);
}

TEST_F(UserProfileTest, TheLibrarysScreensShareOneTypeface) {
    show();
    LockScreenViewControllerBrelvo* lock = LockScreenViewControllerBrelvo::showOver(layer.get(), 1);
    auto* menuLabel = new QLabel(QStringLiteral("REVISION"), layer.get());  // as the menu's, sized by a style sheet
    menuLabel->setStyleSheet(QStringLiteral("color: #9aa3ae; font: bold 10px;"));
    lock->actionButton()->ensurePolished();
    menuLabel->ensurePolished();
    const QString family = QFontInfo(profile->userName()->textFont()).family();
    EXPECT_EQ(QFontInfo(profile->revisionCell()->valueLbl()->textFont()).family(), family);
    EXPECT_EQ(QFontInfo(lock->actionButton()->font()).family(), family);
    EXPECT_EQ(QFontInfo(menuLabel->font()).family(), family);
    delete lock;
}

}  // namespace
