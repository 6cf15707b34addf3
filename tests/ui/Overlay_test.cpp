// Start-up and the overlay through the facade, with a host window on the
// offscreen platform and clicks delivered through the window system.
#include <brelvo/Brelvo.h>

#include "core/BrelvoComponents.h"
#include "diagnostics/GetSystemInfoBrelvo.h"
#include "platform/MotionSource.h"
#include "platform/Defaults.h"
#include "platform/NotificationCenter.h"
#include "platform/Screen.h"
#include "platform/ViewTags.h"
#include "platform/WindowLayer.h"
#include "state/NotificationNames.h"
#include "state/UserHelperBrelvo.h"
#include "support/LocalHttpServer.h"
#include "support/TestSupport.h"
#include "ui/issue/ScreenshotEditBrelvoVC.h"
#include "ui/images/BrelvoImageManager.h"
#include "ui/issue/FeedbackViewControllerBrelvo.h"
#include "ui/issue/ScreenshotStore.h"
#include "ui/issue/ScreenshotStrip.h"
#include "ui/session/BrelvoWindow.h"
#include "ui/session/CustomViewBrelvo.h"
#include "ui/session/CustomViewBrelvoiPhone.h"
#include "ui/session/LockScreenViewControllerBrelvo.h"

#include <QPushButton>
#include <QTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>
#include <httplib.h>

#include <thread>

using namespace brelvo;

namespace {

constexpr int kW = 320, kH = 568;

// A motion sensor the test shakes by hand.
class HandShaken : public MotionSource {
public:
    using MotionSource::MotionSource;
    void start(int) override { ++started; }
    void stop() override {}
    void shake(float x, float y, float z) { emit userAcceleration(QVector3D(x, y, z)); }
    static inline int started = 0;
    static inline QPointer<HandShaken> last;
};

// Answers the library's start-up calls as a service that accepts the build.
class AcceptingService {
public:
    AcceptingService() {
http_.server().Post("/api/1_0/lib/auth", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(R"({"response_code":0,"ts":1700000000,"api_version":"1.0","payload":{"access_token":"tok",
                "revision":{"title":"Beta","build_number":"7","icon":"","project":"Notes","organization":"Acme"},
                "user":{"full_name":"Ada","image":"","role":"QA"},"issue_types":[],"issue_priorities":[],
                "requirement_priorities":[]}})", "application/json");
        });
        http_.server().Post("/api/1_0/lib/requirements", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(R"({"response_code":0,"payload":{"page_size":5,"requirements":[]}})", "application/json");
        });
        http_.start();
    }
    QString url() const { return http_.url(); }

private:
    test::LocalHttpServer http_;
};

class OverlayTest : public ::testing::Test {
protected:
    void SetUp() override {
        host.resize(kW, kH);
        hostButton = new QPushButton(QStringLiteral("Save note"), &host);
        hostButton->setGeometry(10, 280, 300, 44);
        host.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
        qApp->setProperty("brelvo_service_url", service.url());
        center().addObserver(notifications::kOpenMenu, [this](const Notification&) { ++opens; }, this);
        center().addObserver(notifications::kActivationMode,
                             [this](const Notification& n) { modes.append(n.object.toInt()); }, this);
    }
    void TearDown() override { center().removeObserver(this); }

    static NotificationCenter& center() { return NotificationCenter::defaultCenter(); }
    static BrelvoWindow* overlay() { return components().getBVLibWindow(); }

    void start(int options = 0) {
        Brelvo::shared().initializeWithOptions(options);
        ASSERT_NE(overlay(), nullptr);
        // The session is accepted and the menu closed: the overlay is at rest.
        ASSERT_TRUE(test::waitFor([] { return components().mainView()->buttonMode() == 1; }));
        waitClosed();
        QTest::qWait(1);
    }
    void waitClosed() {
        ASSERT_TRUE(test::waitFor([] { return overlay()->frame().x() == -kW; }));
    }
    void waitOpen() {
        ASSERT_TRUE(test::waitFor([] { return overlay()->frame().topLeft() == QPoint(0, 0); }));
    }
    void clickAt(QPoint at) { QTest::mouseClick(host.windowHandle(), Qt::LeftButton, {}, at); }
    // Where the slider shows on screen.
    QPoint sliderOnScreen() {
        const QRect g = overlay()->brelvoSlider()->geometry().translated(overlay()->frame().topLeft());
        return g.center();
    }

    AcceptingService service;
    QWidget host;
    QPushButton* hostButton = nullptr;
    int opens = 0;
    QList<int> modes;
};

}  // namespace

TEST_F(OverlayTest, OptionMaskGivesLockingAndActivationModes) {
    struct Case { int mask, locking, mode; };
    for (const Case c : {Case{0x10, 1, 0}, Case{0x06, 0, 1}, Case{0x04, 0, 2}, Case{0x12, 1, 1}, Case{0, 0, 0}}) {
        modes.clear();
        Brelvo::shared().initializeWithOptions(c.mask);
        EXPECT_EQ(Brelvo::shared().lockingMode(), c.locking) << c.mask;
        EXPECT_EQ(modes, QList<int>{c.mode}) << c.mask;
        EXPECT_TRUE(Brelvo::shared().isInit());
        EXPECT_TRUE(Brelvo::shared().autoUpdate());
    }
    modes.clear();
    Brelvo::shared().initialize();
    Brelvo::shared().initialize(1);
    EXPECT_EQ(Brelvo::shared().lockingMode(), 1);
    EXPECT_TRUE(modes.isEmpty());
    // However often it is started, there is one overlay.
    int overlays = 0;
    for (QWidget* w : windows::all()) overlays += tags::tag(w) == BrelvoWindow::kTag;
    EXPECT_EQ(overlays, 1);
}

TEST_F(OverlayTest, EmulatorsAreRefusedWithoutInstallingAnything) {
    GetSystemInfoBrelvo::setPlatformOverride(QStringLiteral("x86_64"));
    Brelvo::shared().initialize();
    EXPECT_EQ(components().getBVLibWindow(), nullptr);
    EXPECT_TRUE(WindowLayer::layers().isEmpty());
    EXPECT_EQ(UserHelperBrelvo::shared().errorInfo().errorMessage(), QStringLiteral("Not supported emulators"));
    GetSystemInfoBrelvo::setPlatformOverride(QString());
}

TEST_F(OverlayTest, DisabledAdvertisingIdentifierShowsTheLockScreenAndStillInstallsTheOverlay) {
    qputenv("BRELVO_AD_ID", "off");
    Brelvo::shared().initialize();
    qunsetenv("BRELVO_AD_ID");
    ASSERT_TRUE(test::waitFor([] { return components().lockScreen() && components().lockScreen()->isVisible(); }));
    EXPECT_EQ(tags::tag(components().lockScreen()), 991);
    EXPECT_NE(windows::withTag(BrelvoWindow::kTag), nullptr);
    EXPECT_EQ(components().lockScreen()->errorMessageView()->toPlainText(),
              QStringLiteral("Advertisement id is disabled. Please Turn it on"));
}

TEST_F(OverlayTest, ClosedMenuPassesClicksThroughExceptOnTheButtons) {
    start();
    QSignalSpy hostClicks(hostButton, &QPushButton::clicked);
    clickAt(QPoint(160, 300));
    EXPECT_EQ(hostClicks.count(), 1);

    // The slider shows at the screen's left edge and opens the menu.
    const QPoint slider = sliderOnScreen();
    EXPECT_LT(slider.x(), 60);
    clickAt(slider);
    EXPECT_EQ(opens, 1);
    waitOpen();
    EXPECT_TRUE(UserHelperBrelvo::shared().isOpen());

    // Open: every click stays with the overlay, even where nothing is drawn.
    clickAt(QPoint(160, 300));
    EXPECT_EQ(hostClicks.count(), 1);

    Brelvo::shared().hideMenu();
    waitClosed();
    EXPECT_FALSE(UserHelperBrelvo::shared().isOpen());
    clickAt(QPoint(160, 300));
    EXPECT_EQ(hostClicks.count(), 2);
}

TEST_F(OverlayTest, ButtonModesSetTheButtonsPictures) {
    start();
    BrelvoWindow* w = overlay();
    auto icon = [](const char* key) { return BrelvoImageManager::sharedInstance().getImageForKey(QString::fromLatin1(key)); };
    auto mode = [&](const QVariant& m) {
        center().post(notifications::kButtonsState, m);
        QCoreApplication::processEvents();
    };
    mode(1);
    EXPECT_EQ(w->brelvoSlider()->image(), icon("bv_button"));
    EXPECT_TRUE(w->brelvoMakeScreenshot()->isEnabled());
    mode(0);
    EXPECT_EQ(w->brelvoSlider()->image(), icon("bv_button_loading"));
    EXPECT_EQ(w->brelvoSlider()->findChildren<QWidget*>().size(), 1);  // the spinner
    EXPECT_FALSE(w->brelvoMakeScreenshot()->isEnabled());
    mode(2);
    EXPECT_EQ(w->brelvoSlider()->image(), icon("bv_button_unactive"));
    EXPECT_TRUE(w->brelvoSlider()->findChildren<QWidget*>().isEmpty());
    EXPECT_EQ(w->brelvoMakeScreenshot()->image(), icon("screenshot_button_unactive"));
    const QImage two = w->brelvoSlider()->image();
    mode(3);
    EXPECT_EQ(w->brelvoSlider()->image(), two);
    EXPECT_FALSE(w->brelvoMakeScreenshot()->isEnabled());
    mode(7);  // only the spinner goes and the screenshot button wakes
    EXPECT_EQ(w->brelvoSlider()->image(), two);
    EXPECT_TRUE(w->brelvoMakeScreenshot()->isEnabled());
    EXPECT_EQ(w->brelvoMakeScreenshot()->image(), icon("screenshot_button"));
    mode(QStringLiteral("1"));  // not a number: nothing changes
    EXPECT_EQ(w->brelvoSlider()->image(), two);
}

TEST_F(OverlayTest, DraggingMovesThePairAndStopsAtTheLowestPosition) {
    start();
    BrelvoWindow* w = overlay();
    QSignalSpy screenshots(w->brelvoMakeScreenshot(), &QAbstractButton::clicked);
    const QPoint from = sliderOnScreen();
    const int before = w->brelvoSlider()->geometry().center().y();
    QTest::mousePress(host.windowHandle(), Qt::LeftButton, {}, from);
    for (int dy = 10; dy <= 80; dy += 10) QTest::mouseMove(host.windowHandle(), from + QPoint(0, dy));
    QTest::mouseRelease(host.windowHandle(), Qt::LeftButton, {}, from + QPoint(0, 80));
    EXPECT_GT(w->brelvoSlider()->geometry().center().y(), before + 40);
    EXPECT_EQ(opens, 0);  // a drag is not a tap
    EXPECT_EQ(w->brelvoMakeScreenshot()->geometry().center().y() - w->brelvoSlider()->geometry().center().y(), 54);

    // Dragged above the top: the next drag event puts the pair at the reset position.
    w->wasDragged(QPointF(0, -500));
    ASSERT_LT(w->yPositionSlider(), 26);
    w->wasDragged(QPointF(0, 200));
    EXPECT_EQ(w->yPositionSlider(), 27);
    EXPECT_EQ(QRectF(w->brelvoSlider()->geometry()).center().y(), 30);
    EXPECT_EQ(QRectF(w->brelvoMakeScreenshot()->geometry()).center().y(), 84);
}

TEST_F(OverlayTest, LockScreenRemovalBeforeAndAfterShowing) {
    start();
    components().removeLockScreen();  // nothing shown yet: nothing happens
    QCoreApplication::processEvents();
    EXPECT_EQ(overlay()->frame().x(), -kW);

    UserHelperBrelvo::shared().updateErrorInfo([](ErrorInfo& e) { e.setErrorMessage(QStringLiteral("Build expired")); });
    components().showLockScreen();
    ASSERT_TRUE(test::waitFor([&] { return tags::viewWithTag(overlay(), 991) != nullptr; }));
    EXPECT_EQ(overlay()->frame().topLeft(), QPoint(0, 0));  // centred to show it
    EXPECT_EQ(tags::viewWithTag(overlay(), 991)->geometry(), QRect(0, 0, kW, kH + 20));

    center().post(notifications::kCloseLockScreen);
    ASSERT_TRUE(test::waitFor([&] { return tags::viewWithTag(overlay(), 991) == nullptr; }));
    EXPECT_TRUE(test::waitFor([] { return overlay()->center() == QPointF(-kW / 2.0, kH / 2.0); }));
}

TEST_F(OverlayTest, ShakesOpenTheMenuOnlyWhenAShakeShould) {
    HandShaken::started = 0;
    MotionSource::setFactory([](QObject* parent) {
        auto* s = new HandShaken(parent);
        HandShaken::last = s;
        return s;
    });
    start(Brelvo::ShakeActivation);
    QCoreApplication::processEvents();
    ASSERT_EQ(HandShaken::started, 1);
    ASSERT_TRUE(HandShaken::last);
    EXPECT_FALSE(overlay()->brelvoSlider()->isVisible());  // shake mode hides the buttons

    HandShaken::last->shake(0.5f, 0.5f, -0.5f);
    QTest::qWait(50);
    EXPECT_FALSE(UserHelperBrelvo::shared().isOpen());
    center().post(notifications::kMainOrScreenshot, 0);
    HandShaken::last->shake(0.0f, 0.9f, 0.0f);
    EXPECT_FALSE(UserHelperBrelvo::shared().isOpen());
    center().post(notifications::kMainOrScreenshot, 1);
    HandShaken::last->shake(0.0f, 0.0f, -0.6f);
    waitOpen();
    EXPECT_TRUE(UserHelperBrelvo::shared().isOpen());

    // Manual mode stops the sensor and never starts it again.
    center().post(notifications::kActivationMode, 2);
    QCoreApplication::processEvents();
    EXPECT_FALSE(static_cast<CustomViewBrelvoiPhone*>(components().mainView())->isDetectingShakes());
    EXPECT_EQ(HandShaken::started, 1);
    MotionSource::setFactory({});
}

TEST_F(OverlayTest, TheScreenshotHoldsTheHostWithoutTheFloatingButtonsAndOpensTheForm) {
    QPalette green = host.palette();
    green.setColor(QPalette::Window, QColor(0, 160, 80));
    host.setPalette(green);
    host.setAutoFillBackground(true);
    Defaults::standard().removeObject(ScreenshotStore::kListKey);
    start();
    BrelvoWindow* w = overlay();
    const QRect buttons = (w->brelvoSlider()->geometry() | w->brelvoMakeScreenshot()->geometry())
                              .translated(w->frame().topLeft()).intersected(QRect(0, 0, kW, kH));
    ASSERT_FALSE(buttons.isEmpty()) << "the buttons show at the screen's edge";

    clickAt(w->brelvoMakeScreenshot()->geometry().translated(w->frame().topLeft()).center());
    // The new picture shows in the preview; its "Save" adds it to the issue.
    ScreenshotEditBrelvoVC* preview = nullptr;
    ASSERT_TRUE(test::waitFor([&] {
        for (QWidget* widget : QApplication::allWidgets())
            if (auto* p = qobject_cast<ScreenshotEditBrelvoVC*>(widget); p && p->isVisible()) preview = p;
        return preview != nullptr;
    }));
    waitOpen();
    QTest::mouseClick(preview->saveButton(), Qt::LeftButton);
    ASSERT_TRUE(test::waitFor([] { return ScreenshotStore::shared().list().size() == 1; }));
    const QImage shot(ScreenshotStore::shared().list().first());
    const qreal scale = screen::scale();
    ASSERT_EQ(shot.size(), QSize(qRound(kW * scale), qRound(kH * scale)));
    int buttonPixels = 0;
    for (int y = buttons.top(); y <= buttons.bottom(); ++y)
        for (int x = buttons.left(); x <= buttons.right(); ++x)
            buttonPixels += !hostButton->geometry().contains(x, y) && shot.pixelColor(QPointF(x * scale, y * scale).toPoint()) != QColor(0, 160, 80);
    EXPECT_EQ(buttonPixels, 0) << "the floating buttons are not in the picture";
    EXPECT_EQ(shot.pixelColor(QPoint(qRound(100 * scale), qRound(100 * scale))), QColor(0, 160, 80));
    EXPECT_NE(shot.pixelColor(hostButton->geometry().topLeft() * scale + QPoint(4, 4)), QColor(0, 160, 80))
        << "the host's button is";

    // The form shows over the open menu, and the buttons are back.
    FeedbackViewControllerBrelvo* form = components().mainView()->issueForm();
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(test::waitFor([&] { return w->brelvoSlider()->isVisible(); }));
    EXPECT_TRUE(test::waitFor([&] { return form->strip()->paths().size() == 1; }));

    // "CallPostIssue" brings the form back once it has gone.
    form->btnBackPressed();
    ASSERT_FALSE(form->isVisible());
    center().post(notifications::kCallPostIssue);
    EXPECT_TRUE(test::waitFor([&] { return form->isVisible(); }));
    form->btnBackPressed();
    Defaults::standard().removeObject(ScreenshotStore::kListKey);
    host.setAutoFillBackground(false);
}

TEST_F(OverlayTest, WithoutASessionTheScreenshotActionTakesNothingAndTheOfflineBadgeFollowsTheService) {
    start();
    Defaults::standard().removeObject(ScreenshotStore::kListKey);
    components().setIsInit(false);
    int asked = 0;
    center().addObserver(notifications::kMainOrScreenshot, [&](const Notification&) { ++asked; }, this);
    center().post(notifications::kMakeScreenshot);
    ASSERT_TRUE(test::waitFor([&] { return asked == 1; }));
    EXPECT_TRUE(test::waitFor([] { return overlay()->brelvoSlider()->isVisible(); }));
    EXPECT_TRUE(ScreenshotStore::shared().list().isEmpty());
    components().setIsInit(true);

    // The offline badge is one view that comes and goes with the service.
    CustomViewBrelvo* panel = components().mainView();
    QWidget* slider = overlay()->brelvoSlider();
    const auto badges = [slider] {
        int n = 0;
        for (QWidget* child : slider->findChildren<QWidget*>()) n += tags::tag(child) == CustomViewBrelvo::kOfflineBadgeTag;
        return n;
    };
    qApp->setProperty("brelvo_service_url", QStringLiteral("http://brelvo-service.invalid/"));
    panel->showOfflineSign();
    ASSERT_TRUE(test::waitFor([&] { return badges() == 1; }));
    panel->setOfflineBadge(true);
    panel->showOfflineSign();
    EXPECT_EQ(badges(), 1);
    qApp->setProperty("brelvo_service_url", service.url());
    // A check already running covers the call made meanwhile: ask until one runs.
    EXPECT_TRUE(test::waitFor([&] {
        panel->showOfflineSign();
        return badges() == 0;
    }));
}
