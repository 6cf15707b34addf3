#include "platform/Screen.h"
#include "platform/ViewTags.h"
#include "platform/WindowLayer.h"
#include "support/TestSupport.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

using brelvo::WindowLayer;
namespace windows = brelvo::windows;

namespace {

// A layer that takes only a small square, as the overlay does with its buttons.
class SquareLayer : public WindowLayer {
public:
    using WindowLayer::WindowLayer;
    QRegion hitRegion() const override { return QRegion(10, 10, 40, 40); }
};

// Clicks through the window system, so that Qt picks the receiver as it does
// for a real pointer.
void clickAt(QWidget* screenWindow, QPoint at) {
    QTest::mouseClick(screenWindow->windowHandle(), Qt::LeftButton, {}, at);
}

class WindowLayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        host.resize(320, 480);
        button = new QPushButton(QStringLiteral("Host"), &host);
        button->setGeometry(100, 200, 120, 40);
        host.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
        brelvo::screen::setWindow(&host);
    }
    void TearDown() override { brelvo::screen::setWindow(nullptr); }
    QWidget host;
    QPushButton* button = nullptr;
};

}  // namespace

TEST_F(WindowLayerTest, AFullLayerTakesEveryClickAndANarrowOneLetsTheRestThrough) {
    QSignalSpy clicked(button, &QPushButton::clicked);
    {
        WindowLayer full(QRect(0, 0, 320, 480), &host);
        full.show();
        clickAt(&host, QPoint(150, 220));
        EXPECT_EQ(clicked.count(), 0);
    }
    SquareLayer narrow(QRect(0, 0, 320, 480), &host);
    narrow.show();
    clickAt(&host, QPoint(150, 220));
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_TRUE(narrow.pointInside(QPoint(20, 20)));
    EXPECT_FALSE(narrow.pointInside(QPoint(150, 220)));
    EXPECT_EQ(host.childAt(20, 20), &narrow);
}

TEST_F(WindowLayerTest, LayersStayAboveHostWidgetsAddedLater) {
    WindowLayer low(QRect(0, 0, 320, 480), &host);
    WindowLayer high(QRect(0, 0, 320, 480), &host);
    low.setWindowLevel(WindowLayer::kNormalLevel);
    high.setWindowLevel(WindowLayer::kAlertLevel);
    low.show();
    high.show();
    auto* late = new QWidget(&host);
    late->setGeometry(0, 0, 320, 480);
    late->show();
    ASSERT_TRUE(brelvo::test::waitFor([&] { return host.childAt(5, 5) == &high; }));
    const QObjectList order = host.children();
    EXPECT_LT(order.indexOf(late), order.indexOf(&low));
    EXPECT_LT(order.indexOf(&low), order.indexOf(&high));

    EXPECT_EQ(windows::last(), &high);
    const QList<QWidget*> all = windows::all();
    ASSERT_GE(all.size(), 3);
    EXPECT_EQ(all.first(), &host);
    EXPECT_EQ(all[all.size() - 2], &low);
    brelvo::tags::setTag(&low, 42);
    EXPECT_EQ(windows::withTag(42), &low);
    EXPECT_EQ(windows::withTag(43), nullptr);
}

TEST_F(WindowLayerTest, MovingAWindowMovesItsLayerAndTheHostStaysPut) {
    WindowLayer layer(QRect(0, 0, 320, 480), &host);
    layer.setOverhang(QMargins(0, 0, 50, 0));
    EXPECT_EQ(layer.geometry(), QRect(0, 0, 370, 480));
    windows::setCenter(&layer, QPointF(-160, 240));
    EXPECT_EQ(layer.frame(), QRect(-320, 0, 320, 480));
    EXPECT_EQ(layer.geometry().topLeft(), QPoint(-320, 0));
    const QPoint hostAt = host.pos();
    windows::setCenter(&host, QPointF(0, 0));
    EXPECT_EQ(host.pos(), hostAt);
    EXPECT_EQ(windows::center(&host), QPointF(160, 240));

    // The screen turns: a layer one width aside stays one width aside.
    host.resize(480, 320);
    EXPECT_EQ(layer.frame(), QRect(-480, 0, 480, 320));
}

TEST_F(WindowLayerTest, AnimatedMovesEndAtTheirTargetAndKeyWindowFollowsMakeKeyAndVisible) {
    WindowLayer layer(QRect(0, 0, 320, 480), &host);
    bool done = false;
    layer.animateFrame(QRect(-320, 0, 320, 480), 150, QEasingCurve::InQuad, [&] { done = true; });
    EXPECT_TRUE(brelvo::test::waitFor([&] { return done; }));
    EXPECT_EQ(layer.frame(), QRect(-320, 0, 320, 480));
    layer.animateFrame(QRect(0, 0, 320, 480), 0, QEasingCurve::OutQuad);
    EXPECT_EQ(layer.frame(), QRect(0, 0, 320, 480));

    windows::makeKeyAndVisible(&layer);
    EXPECT_EQ(windows::keyWindow(), &layer);
    EXPECT_TRUE(layer.isVisible());
    windows::makeKeyAndVisible(windows::first());
    EXPECT_EQ(windows::keyWindow(), &host);
}
