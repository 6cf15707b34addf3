// The touch tracer: lines for each kind of control only while tracing, and
// the host's controls working exactly as before either way.
#include "ui/SessionTestHost.h"

#include "platform/Log.h"
#include "support/TestSupport.h"
#include "ui/session/ActivityBrelvo.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>

#include <algorithm>

using namespace brelvo;

namespace {

class ActivityTest : public test::SessionHostTest {
protected:
    void SetUp() override {
        test::SessionHostTest::SetUp();
        layer.reset();  // the host's own controls are what the tester touches here
        ActivityBrelvo::shared().trackActivity();
    }
    void TearDown() override {
        ActivityBrelvo::shared().setToTrackActivity(false);
        test::SessionHostTest::TearDown();
    }
    template <typename T>
    T* add(T* widget, const QRect& frame) {
        widget->setParent(host.get());
        widget->setGeometry(frame);
        widget->show();
        return widget;
    }
    static bool has(const test::LogCapture& log, const QString& start) {
        const QStringList lines = log.lines();
        return std::any_of(lines.begin(), lines.end(), [&](const QString& l) { return l.startsWith(start); });
    }
};

TEST_F(ActivityTest, ButtonsAreTracedOnlyWhileTrackingAndAlwaysWork) {
    int clicks = 0;
    QObject::connect(hostButton, &QPushButton::clicked, [&] { ++clicks; });
    // The tester's taps hold the host's texts: unless the logging rules ask
    // for them, they stay out of the log.
    EXPECT_FALSE(brelvo::lcActivity().isInfoEnabled());
    EXPECT_FALSE(brelvo::lcBrelvo().isInfoEnabled());
    EXPECT_TRUE(brelvo::lcBrelvo().isWarningEnabled());
    test::LogCapture log("brelvo");

    QTest::mouseClick(hostButton, Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(log.lines().isEmpty());

    ActivityBrelvo::shared().setToTrackActivity(true);
    QTest::mouseClick(hostButton, Qt::LeftButton);
    EXPECT_EQ(clicks, 2);
    const QStringList lines = log.lines();
    EXPECT_TRUE(has(log, QStringLiteral("touch.view: <QPushButton: 0x")));
    EXPECT_TRUE(has(log, QStringLiteral("resp: <QWidget: 0x")));
    EXPECT_TRUE(has(log, QStringLiteral("resp.nextResponder: (null)")));
    EXPECT_EQ(lines.count(QStringLiteral("BUTTON TITLE: Host action")), 1);
    EXPECT_EQ(lines.count(QStringLiteral("BUTTON WAS PRESSED")), 1);  // once, not once per parent

    ActivityBrelvo::shared().setToTrackActivity(false);
    log.clear();
    QTest::mouseClick(hostButton, Qt::LeftButton);
    EXPECT_EQ(clicks, 3);
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST_F(ActivityTest, SwitchesSlidersSteppersAndTextFields) {
    auto* box = add(new QCheckBox(QStringLiteral("Remember")), QRect(10, 60, 200, 30));
    auto* slider = add(new QSlider(Qt::Horizontal), QRect(10, 100, 300, 30));
    slider->setRange(0, 100);
    slider->setValue(40);
    auto* spin = add(new QSpinBox, QRect(10, 140, 120, 30));
    spin->setValue(3);
    auto* field = add(new QLineEdit(QStringLiteral("secret")), QRect(10, 180, 200, 30));
    field->setEchoMode(QLineEdit::Password);
    ActivityBrelvo::shared().setToTrackActivity(true);
    test::LogCapture log("brelvo");

    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, 15));  // on the box itself
    EXPECT_TRUE(box->isChecked());
    ASSERT_TRUE(test::waitFor([&] { return log.contains(QStringLiteral("SWITCH STATE: 1")); }));
    EXPECT_FALSE(log.contains(QStringLiteral("BUTTON WAS PRESSED")));

    QTest::mouseClick(slider, Qt::LeftButton);
    EXPECT_TRUE(log.contains(QStringLiteral("SLIDER VALUE: %1").arg(slider->value())));

    QStyleOptionSpinBox option;
    option.initFrom(spin);
    option.subControls = QStyle::SC_SpinBoxUp;
    const QRect up = spin->style()->subControlRect(QStyle::CC_SpinBox, &option, QStyle::SC_SpinBoxUp, spin);
    QTest::mouseClick(spin, Qt::LeftButton, {}, up.center());
    EXPECT_EQ(spin->value(), 4);
    EXPECT_TRUE(log.contains(QStringLiteral("STEPPER VALUE: 4")));

    QTest::mouseClick(field, Qt::LeftButton);
    EXPECT_TRUE(has(log, QStringLiteral("TEXT VIEW WAS PRESSED: <QLineEdit: 0x")));
    for (const QString& line : log.lines()) EXPECT_FALSE(line.contains(QStringLiteral("secret"))) << line.toStdString();
}

TEST_F(ActivityTest, ListsTabsSegmentsAndToolbars) {
    auto* list = add(new QListWidget, QRect(10, 60, 300, 120));
    list->addItems({QStringLiteral("first"), QStringLiteral("second"), QStringLiteral("third")});
    auto* tabs = add(new QTabWidget, QRect(10, 190, 300, 100));
    tabs->addTab(new QWidget, QStringLiteral("Pending"));
    tabs->addTab(new QWidget, QStringLiteral("Passed"));
    auto* segments = add(new QTabBar, QRect(10, 300, 300, 30));
    segments->addTab(QStringLiteral("Low"));
    segments->addTab(QStringLiteral("High"));
    auto* bar = add(new QToolBar, QRect(10, 340, 300, 40));
    bar->addAction(QStringLiteral("Back"));
    ASSERT_TRUE(test::waitFor([&] { return list->visualItemRect(list->item(1)).isValid(); }));
    ActivityBrelvo::shared().setToTrackActivity(true);
    test::LogCapture log("brelvo");

    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
    EXPECT_TRUE(has(log, QStringLiteral("TOUCHED THIS VIEW: <QListWidget: 0x")));
    EXPECT_TRUE(log.contains(QStringLiteral("SECTION: 0")));
    EXPECT_TRUE(log.contains(QStringLiteral("TABLE VIEW CELL INDEX ROW: 1")));

    QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(1).center());
    ASSERT_TRUE(test::waitFor([&] { return log.contains(QStringLiteral("TAB_BAR ITEM TITLE: Passed")); }));
    EXPECT_TRUE(has(log, QStringLiteral("TAB_BAR VIEW CONTROLLER: <QWidget: 0x")));
    EXPECT_EQ(log.lines().filter(QStringLiteral("AT INDEX: 1")).size(), 1);

    QTest::mouseClick(segments, Qt::LeftButton, {}, segments->tabRect(1).center());
    ASSERT_TRUE(test::waitFor(
        [&] { return log.contains(QStringLiteral("SEGMENTED CONTROL: \"High\" selectedSegmentControl: 1")); }));

    auto* back = bar->widgetForAction(bar->actions().first());
    ASSERT_NE(back, nullptr);
    QTest::mouseClick(back, Qt::LeftButton);
    EXPECT_TRUE(log.contains(QStringLiteral("NAVIGATION BUTTON PRESSED: Back")));
}

}  // namespace
