// The library's alert over the last window: its box and buttons on phones and
// tablets, the delegate's callbacks and the delegate's view; and the read-me
// screen's "OK".
#include "ui/SessionTestHost.h"

#include "platform/LibraryFont.h"
#include "support/TestSupport.h"
#include "ui/session/BVAlert.h"
#include "ui/session/BrelReadMeVC.h"
#include "ui/session/BrelvoWindow.h"

#include <QFontInfo>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QSignalSpy>
#include <QTextEdit>

#include <thread>

using namespace brelvo;

namespace {

// A delegate that is a view controller: its view is what the alert makes insensitive.
class Controller : public QWidget, public BVAlertDelegate {
public:
    using QWidget::QWidget;
    void cancelButtonPressed() override { ++cancels; }
    void successButtonPressed() override { ++successes; }
    QWidget* alertDelegateView() override { return this; }
    int cancels = 0;
    int successes = 0;
};

// A delegate that answers neither callback.
class Silent : public BVAlertDelegate {};

class BVAlertTest : public test::SessionHostTest {
protected:
    BVAlert* showAlert(const QString& cancel, const QString& other, BVAlertDelegate* delegate = nullptr) {
        auto* alert = new BVAlert(QStringLiteral("Warning"), QStringLiteral("Do you want to delete this image?"),
                                  cancel, other);
        alert->setBvAlertDelegate(delegate);
        BVAlert::show(alert);
        return alert;
    }
    static bool gone(const QPointer<BVAlert>& alert) { return alert.isNull(); }
};

TEST_F(BVAlertTest, TwoButtonsOnAPhoneOf568PointsStayOnTheScreenWhenTheLastWindowIsMovedAway) {
    QPointer<BVAlert> alert = showAlert(QStringLiteral("No"), QStringLiteral("Yes"));
    EXPECT_EQ(alert->parentWidget(), layer.get());
    EXPECT_TRUE(alert->isVisible());
    EXPECT_EQ(alert->geometry(), QRect(0, 0, 320, 568));
    EXPECT_EQ(alert->bvAlertFrame(), QRect(15, 213, 290, 165));  // centred
    EXPECT_EQ(alert->box()->geometry(), alert->bvAlertFrame());
    EXPECT_EQ(alert->titleLabel()->geometry(), QRect(25, 223, 270, 30));
    EXPECT_EQ(alert->messageView()->geometry(), QRect(25, 253, 270, 60));
    EXPECT_EQ(alert->cancelButton()->geometry(), QRect(35, 313, 115, 45));
    EXPECT_EQ(alert->otherButton()->geometry(), QRect(170, 313, 115, 45));
    EXPECT_EQ(alert->titleLabel()->text(), QStringLiteral("Warning"));
    EXPECT_EQ(alert->messageView()->toPlainText(), QStringLiteral("Do you want to delete this image?"));
    alert->close();
    ASSERT_TRUE(test::waitFor([&] { return gone(alert); }));

    // The overlay with its menu closed lies one screen width to the left.
    layer->setFrame(QRect(-320, 0, 320, 568));
    alert = showAlert(QStringLiteral("No"), QStringLiteral("Yes"));
    EXPECT_EQ(alert->mapTo(host.get(), QPoint(0, 0)), QPoint(0, 0));
    int clicks = 0;
    QObject::connect(alert->otherButton(), &QPushButton::clicked, [&] { ++clicks; });
    QTest::mouseClick(alert->otherButton(), Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
}

TEST_F(BVAlertTest, DimsWhateverLiesBelowEvenUnderAHostStyleSheet) {
    host->setStyleSheet(QStringLiteral("background: rgb(255, 255, 255);"));
    QPointer<BVAlert> alert = showAlert(QStringLiteral("No"), QStringLiteral("Yes"));
    ASSERT_TRUE(test::waitFor([&] {
        auto* effect = qobject_cast<QGraphicsOpacityEffect*>(alert->graphicsEffect());
        return effect && effect->opacity() >= 1.0;
    }));
    const QImage shot = host->grab().toImage();
    const QColor corner = shot.pixelColor(shot.width() - 2, shot.height() - 2);
    EXPECT_EQ(corner, QColor(153, 153, 153));  // white under black at 0.4
    const QPoint inBox = (QPointF(alert->bvAlertFrame().topLeft() + QPoint(12, 4)) * shot.devicePixelRatio()).toPoint();
    EXPECT_EQ(shot.pixelColor(inBox), QColor(Qt::white));
}

TEST_F(BVAlertTest, OnlyTheOtherTitleGivesOneWideButtonThatSucceeds) {
    Controller controller(layer.get());
    controller.setGeometry(0, 0, 320, 568);
    controller.show();
    QPointer<BVAlert> alert = showAlert(QString(), QStringLiteral("OK"), &controller);
    EXPECT_EQ(alert->cancelButton(), nullptr);
    ASSERT_NE(alert->otherButton(), nullptr);
    EXPECT_EQ(alert->otherButton()->geometry(), QRect(35, 313, 250, 45));

    EXPECT_FALSE(controller.isEnabled());
    QTest::mouseClick(alert->otherButton(), Qt::LeftButton);
    EXPECT_EQ(controller.successes, 1);
    EXPECT_EQ(controller.cancels, 0);
    EXPECT_TRUE(controller.isEnabled());
    // A second press while it fades out calls nobody again.
    QTest::mouseClick(alert->otherButton(), Qt::LeftButton);
    EXPECT_EQ(controller.successes, 1);
    ASSERT_TRUE(test::waitFor([&] { return gone(alert); }));
}

TEST_F(BVAlertTest, CancelCallsBackAndTheViewTakesInputAgain) {
    Controller controller(layer.get());
    controller.setGeometry(0, 0, 320, 568);
    auto* inner = new QPushButton(QStringLiteral("Behind"), &controller);
    inner->setGeometry(10, 500, 100, 40);
    int innerClicks = 0;
    QObject::connect(inner, &QPushButton::clicked, [&] { ++innerClicks; });
    controller.show();

    QPointer<BVAlert> alert = showAlert(QStringLiteral("Cancel"), QStringLiteral("Go"), &controller);
    QSignalSpy closed(alert.data(), &BVAlert::closed);
    QTest::mouseClick(inner, Qt::LeftButton);  // the alert's dim layer is on top
    EXPECT_EQ(innerClicks, 0);
    QTest::mouseClick(alert->cancelButton(), Qt::LeftButton);
    EXPECT_EQ(controller.cancels, 1);
    EXPECT_EQ(controller.successes, 0);
    ASSERT_TRUE(test::waitFor([&] { return closed.count() == 1; }));
    ASSERT_TRUE(test::waitFor([&] { return gone(alert); }));
    QTest::mouseClick(inner, Qt::LeftButton);
    EXPECT_EQ(innerClicks, 1);
}

TEST_F(BVAlertTest, DelegatesWithoutCallbacksOrGoneStillClose) {
    Silent silent;
    QPointer<BVAlert> first = showAlert(QStringLiteral("OK"), QString(), &silent);
    EXPECT_EQ(first->cancelButton()->geometry(), QRect(35, 313, 250, 45));
    QTest::mouseClick(first->cancelButton(), Qt::LeftButton);
    ASSERT_TRUE(test::waitFor([&] { return gone(first); }));

    auto* controller = new Controller(layer.get());
    QPointer<BVAlert> second = showAlert(QStringLiteral("OK"), QString(), controller);
    delete controller;  // the screen that raised it went away
    QTest::mouseClick(second->cancelButton(), Qt::LeftButton);
    ASSERT_TRUE(test::waitFor([&] { return gone(second); }));
}

TEST_F(BVAlertTest, AHostApplicationStyleSheetLeavesTheAlertsButtonsAlone) {
    qApp->setStyleSheet(QStringLiteral("QPushButton { background: red; color: black; border: 3px solid black;"
                                       " font-family: \"DejaVu Serif\"; }"));
    QPointer<BVAlert> alert = showAlert(QStringLiteral("No"), QStringLiteral("Yes"));
    QPushButton* button = alert->cancelButton();
    const QImage shot = button->grab().toImage();
    const QString family = QFontInfo(button->font()).family();
    qApp->setStyleSheet(QString());
    EXPECT_EQ(shot.pixelColor(shot.width() / 2, 4 * shot.devicePixelRatio()), QColor(32, 144, 192));
    EXPECT_EQ(family, QFontInfo(libraryfont::font()).family());
}

TEST_F(BVAlertTest, OtherScreenHeightsAndTablets) {
    makeHost(QSize(320, 480));
    QPointer<BVAlert> alert = showAlert(QStringLiteral("No"), QStringLiteral("Yes"));
    EXPECT_EQ(alert->bvAlertFrame(), QRect(15, 125, 290, 165));
    EXPECT_EQ(alert->cancelButton()->geometry(), QRect(35, 225, 115, 45));
    delete alert;

    qApp->setProperty("brelvo_idiom", QStringLiteral("tablet"));
    makeHost(QSize(768, 1024));
    alert = showAlert(QStringLiteral("No"), QStringLiteral("Yes"));
    EXPECT_EQ(alert->geometry(), QRect(0, 0, 768, 1024));
    EXPECT_EQ(alert->bvAlertFrame(), QRect(239, 300, 290, 165));
    EXPECT_EQ(alert->cancelButton()->geometry(), QRect(259, 400, 115, 45));
    EXPECT_EQ(alert->otherButton()->geometry(), QRect(394, 400, 115, 45));

    // Turned sideways, the alert covers the new screen and keeps its box on it.
    host->resize(1024, 768);
    ASSERT_TRUE(test::waitFor([&] { return alert->geometry() == QRect(0, 0, 1024, 768); }));
    EXPECT_EQ(alert->bvAlertFrame(), QRect(367, 300, 290, 165));
}

TEST_F(BVAlertTest, ShowAndCloseFromAnotherThread) {
    auto* alert = new BVAlert(QStringLiteral("Error is caught"),
                              QStringLiteral("Unhandled exception is caught and sent to the server"), QString(),
                              QStringLiteral("YES"));
    QPointer<BVAlert> guard(alert);
    std::thread([alert] { BVAlert::show(alert); }).join();
    ASSERT_TRUE(test::waitFor([&] { return guard && guard->isVisible(); }));
    std::thread([alert] { alert->close(); }).join();
    ASSERT_TRUE(test::waitFor([&] { return gone(guard); }));
}

TEST_F(BVAlertTest, ReadMeCoversTheViewAndItsFloatingButtonsAndOkDismissesIt) {
    BrelvoWindow overlay(QRect(-320, 0, 320, 568), host.get());  // the menu closed: its buttons at the left edge
    overlay.show();
    ASSERT_TRUE(overlay.brelvoSlider()->isVisible());
    QPointer<BrelReadMeVC> readMe = new BrelReadMeVC;
    QSignalSpy dismissed(readMe.data(), &BrelReadMeVC::dismissed);
    readMe->presentOver(layer.get());
    ASSERT_TRUE(test::waitFor([&] { return readMe->geometry() == QRect(0, 0, 320, 568); }));
    EXPECT_FALSE(overlay.brelvoSlider()->isVisible());
    EXPECT_FALSE(overlay.brelvoMakeScreenshot()->isVisible());
    EXPECT_EQ(readMe->textView()->toPlainText(), BrelReadMeVC::kText);
    EXPECT_TRUE(readMe->textView()->toPlainText().startsWith(QStringLiteral("Offline mode is activated")));
    const QTextCursor start(readMe->textView()->document());
    EXPECT_GE(readMe->textView()->x() + readMe->textView()->cursorRect(start).left(), 12) << "the text's margin";
    EXPECT_EQ(readMe->okButton()->geometry(), QRect(0, 518, 320, 50));
    EXPECT_EQ(readMe->okButton()->text(), QStringLiteral("OK"));
    QTest::mouseClick(readMe->okButton(), Qt::LeftButton);
    ASSERT_TRUE(test::waitFor([&] { return dismissed.count() == 1; }));
    ASSERT_TRUE(test::waitFor([&] { return readMe.isNull(); }));
    EXPECT_TRUE(overlay.brelvoSlider()->isVisible());
    EXPECT_TRUE(overlay.brelvoMakeScreenshot()->isVisible());
}

}  // namespace
