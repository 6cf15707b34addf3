#include "platform/Autoresizing.h"
#include "platform/ViewTags.h"

#include <QWidget>

#include <gtest/gtest.h>

namespace ar = brelvo::autoresizing;

TEST(ViewTags, FindsTheViewItselfThenDescendantsDepthFirst) {
    QWidget root;
    auto* a = new QWidget(&root);
    auto* a1 = new QWidget(a);
    auto* b = new QWidget(&root);
    brelvo::tags::setTag(a1, 7);
    brelvo::tags::setTag(b, 7);
    EXPECT_EQ(brelvo::tags::viewWithTag(&root, 7), a1);
    brelvo::tags::setTag(&root, 7);
    EXPECT_EQ(brelvo::tags::viewWithTag(&root, 7), &root);
    EXPECT_EQ(brelvo::tags::viewWithTag(&root, 8), nullptr);
    EXPECT_EQ(brelvo::tags::viewWithTag(nullptr, 7), nullptr);
    EXPECT_EQ(brelvo::tags::tag(a), 0);
}

class AutoresizingTest : public ::testing::Test {
protected:
    void SetUp() override {
        parent.resize(300, 400);
        parent.show();
    }
    QWidget* child(const QRect& r, int mask) {
        auto* w = new QWidget(&parent);
        w->setGeometry(r);
        ar::setMask(w, mask);
        return w;
    }
    QWidget parent;
};

TEST_F(AutoresizingTest, FullMaskScalesEveryPartMarginMaskKeepsSizeAndRelativePosition) {
    QWidget* w = child(QRect(0, 0, 300, 400), ar::Full);
    QWidget* inset = child(QRect(30, 40, 240, 320), ar::Full);
    QWidget* box = child(QRect(100, 150, 100, 100), ar::Margins);
    parent.resize(600, 200);
    EXPECT_EQ(w->geometry(), QRect(0, 0, 600, 200));
    EXPECT_EQ(inset->geometry(), QRect(60, 20, 480, 160));
    EXPECT_EQ(box->size(), QSize(100, 100));
    EXPECT_EQ(box->geometry().center(), QRect(0, 0, 600, 200).center());
}

TEST_F(AutoresizingTest, FixedPartsStayAndUnmaskedViewsAreLeftAlone) {
    QWidget* rightPinned = child(QRect(250, 10, 40, 40), ar::FlexibleLeftMargin);
    QWidget* stretch = child(QRect(10, 10, 280, 40), ar::FlexibleWidth);
    QWidget* plain = child(QRect(5, 5, 10, 10), ar::None);
    parent.resize(400, 400);
    EXPECT_EQ(rightPinned->geometry(), QRect(350, 10, 40, 40));
    EXPECT_EQ(stretch->geometry(), QRect(10, 10, 380, 40));
    EXPECT_EQ(plain->geometry(), QRect(5, 5, 10, 10));
    parent.resize(50, 400);  // shrinking below the fixed parts never gives a negative size
    EXPECT_GE(stretch->width(), 0);
}
