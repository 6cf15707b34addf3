// The crop frame and the resizable frame: their geometry on plain values, and
// one pass of real mouse events through both widgets.
#include "ui/editor/crop/BrelvoCropView.h"
#include "ui/editor/crop/CropGeometry.h"
#include "ui/editor/crop/RZGripViewBorderView.h"
#include "ui/editor/crop/RZUserResizableView.h"

#include <QTest>

#include <gtest/gtest.h>

#include <optional>

using namespace brelvo;

std::string str(const QRectF& r) {
    return QStringLiteral("(%1, %2, %3, %4)").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()).toStdString();
}
void PrintTo(const QRectF& r, std::ostream* os) {
    *os << str(r);
}
void PrintTo(const QRect& r, std::ostream* os) {
    *os << str(QRectF(r));
}
void PrintTo(const QPointF& p, std::ostream* os) {
    *os << "(" << p.x() << ", " << p.y() << ")";
}

namespace {

// Inside the frame, of no negative size, and no smaller than the minimum
// where the frame has room for it.
void expectValid(const QRectF& r, const QSizeF& frame) {
    EXPECT_GE(r.x(), 0) << str(r);
    EXPECT_GE(r.y(), 0) << str(r);
    EXPECT_LE(r.right(), qMax<qreal>(frame.width(), 0)) << str(r);
    EXPECT_LE(r.bottom(), qMax<qreal>(frame.height(), 0)) << str(r);
    EXPECT_GE(r.width(), qBound<qreal>(0, frame.width(), CropGeometry::kMinWidth)) << str(r);
    EXPECT_GE(r.height(), qBound<qreal>(0, frame.height(), CropGeometry::kMinHeight)) << str(r);
}

// A press, one move and the release on a crop rectangle in a frame.
TEST(CropGeometry, DragsMoveAndResizeWithinTheFrameAndTheMinimum) {
    struct Row {
        const char* what;
        QRectF rect;
        QPointF press, to;
        CropGeometry::Mode mode;
        QRectF expected;
    };
    const QSizeF frame(400, 300);
    const QRectF r(100, 100, 200, 120);  // corners (100, 100) (300, 100) (100, 220) (300, 220)
    const Row rows[] = {
        {"move inside", r, {200, 150}, {210, 130}, CropGeometry::Moving, {110, 80, 200, 120}},
        {"move past the left and top edges", r, {200, 150}, {50, 20}, CropGeometry::Moving, {0, 0, 200, 120}},
        {"move past the right and bottom", r, {200, 150}, {500, 400}, CropGeometry::Moving, {200, 180, 200, 120}},
        {"top-left out", r, {105, 95}, {-50, -50}, CropGeometry::TopLeft, {0, 0, 300, 220}},
        {"top-left past the minimum", r, {100, 100}, {280, 190}, CropGeometry::TopLeft, {150, 120, 150, 100}},
        {"top-right out", r, {300, 100}, {390, 40}, CropGeometry::TopRight, {100, 40, 290, 180}},
        {"top-right past the minimum", r, {295, 105}, {100, 300}, CropGeometry::TopRight, {100, 120, 150, 100}},
        {"bottom-left out", r, {100, 220}, {20, 260}, CropGeometry::BottomLeft, {20, 100, 280, 160}},
        {"bottom-left past the minimum", r, {100, 220}, {400, 0}, CropGeometry::BottomLeft, {150, 100, 150, 100}},
        {"bottom-right beyond the view", r, {300, 220}, {900, 900}, CropGeometry::BottomRight, {100, 100, 300, 200}},
        {"bottom-right past the minimum", r, {300, 220}, {0, 0}, CropGeometry::BottomRight, {100, 100, 150, 100}},
        {"a grip wins over the inside", r, {110, 110}, {120, 120}, CropGeometry::TopLeft, {110, 110, 190, 110}},
        {"15 points from a grip is outside it", r, {100, 85}, {0, 0}, CropGeometry::Idle, r},
        {"a touch outside does nothing", r, {350, 280}, {0, 0}, CropGeometry::Idle, r},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        CropGeometry crop;
        crop.setFrameSize(frame);
        crop.setCropRect(row.rect);
        crop.touchBegan(row.press);
        EXPECT_EQ(crop.mode(), row.mode);
        crop.touchMoved(row.to);
        EXPECT_EQ(crop.cropRect(), row.expected);
        crop.touchEnded();
        EXPECT_EQ(crop.mode(), CropGeometry::Idle);
    }
}

// Whatever the rectangle and the picture's size, the frame comes out valid.
TEST(CropGeometry, EveryRectangleAndFrameSizeGivesAValidFrame) {
    struct Row {
        const char* what;
        QSizeF frame;
        std::optional<QRectF> set;  // none: centred as on entering crop mode
        QSizeF resizedTo;           // the frame afterwards; empty: unchanged
        QRectF expected;
    };
    const Row rows[] = {
        {"centred", {300, 400}, {}, {}, {75, 150, 150, 100}},
        {"centred on a picture smaller than the minimum", {100, 60}, {}, {}, {0, 0, 100, 60}},
        {"centred on a picture narrower than the minimum", {120, 400}, {}, {}, {0, 150, 120, 100}},
        {"no picture", {0, 0}, {}, {}, {0, 0, 0, 0}},
        {"a negative frame", {-20, -10}, {}, {}, {0, 0, 0, 0}},
        {"zero size", {300, 400}, QRectF(10, 20, 0, 0), {}, {10, 20, 150, 100}},
        {"negative size", {300, 400}, QRectF(250, 380, -40, -30), {}, {150, 300, 150, 100}},
        {"larger than the frame", {300, 400}, QRectF(-20, -30, 500, 600), {}, {0, 0, 300, 400}},
        {"the frame shrinks", {400, 400}, QRectF(200, 250, 150, 100), {300, 300}, {150, 200, 150, 100}},
        {"the frame shrinks below x", {400, 400}, QRectF(200, 50, 150, 100), {120, 400}, {0, 50, 120, 100}},
        {"the frame shrinks below the minimum", {400, 400}, QRectF(200, 250, 180, 120), {90, 70}, {0, 0, 90, 70}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        CropGeometry crop;
        crop.setFrameSize(row.frame);
        if (row.set)
            crop.setCropRect(*row.set);
        else
            crop.centre();
        if (!row.resizedTo.isEmpty())
            crop.setFrameSize(row.resizedTo);
        EXPECT_EQ(crop.cropRect(), row.expected);
        expectValid(crop.cropRect(), crop.frameSize());
        // Dragging in a frame smaller than the minimum keeps it valid too.
        crop.touchBegan(crop.cropRect().bottomRight());
        crop.touchMoved(crop.cropRect().bottomRight() - QPointF(30, 30));
        expectValid(crop.cropRect(), crop.frameSize());
    }
}

TEST(RZUserResizableView, TheNearestAnchorPointChoosesTheEdgesThatMove) {
    using A = RZUserResizableViewAnchorPoint;
    const QSizeF size(200, 100);
    const struct {
        QPointF touch;
        A anchor;
    } rows[] = {
        {{2, 3}, {1, 1, -1, 1}},       {{195, 1}, {0, 1, -1, -1}},  {{199, 99}, {0, 0, 1, -1}},
        {{4, 97}, {1, 0, 1, 1}},       {{90, 5}, {0, 1, -1, 0}},    {{110, 96}, {0, 0, 1, 0}},
        {{6, 55}, {1, 0, 0, 1}},       {{190, 45}, {0, 0, 0, -1}},  {{100, 50}, {0, 0, 0, 0}},
        {{50, 0}, {1, 1, -1, 1}},      // halfway between the upper left and upper middle: the corner
        {{150, 25}, {0, 1, -1, -1}},   // as near the upper right as the centre: the corner
        {{-500, -500}, {1, 1, -1, 1}}, // far outside
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.touch));
        const A anchor = anchorPointForTouchLocation(size, row.touch);
        EXPECT_EQ(anchor, row.anchor);
        EXPECT_EQ(anchor.isResizing(), row.anchor != A{});
    }
}

TEST(RZUserResizableView, ResizeAndMoveKeepTheMinimumAndTheBoundary) {
    using A = RZUserResizableViewAnchorPoint;
    const QRectF frame(100, 100, 100, 80);
    const QRectF shifted(50, 0, 300, 300);  // a boundary whose x is not 0
    const struct {
        const char* what;
        A anchor;
        QPointF from, to;
        std::optional<QRectF> boundary;
        QRectF expected;
    } resizes[] = {
        {"lower right", {0, 0, 1, -1}, {200, 180}, {230, 200}, {}, {100, 100, 130, 100}},
        {"upper left", {1, 1, -1, 1}, {100, 100}, {80, 90}, {}, {80, 90, 120, 90}},
        {"a width of 47 keeps x and width", {1, 0, 0, 1}, {100, 140}, {153, 140}, {}, {100, 100, 100, 80}},
        {"a height of 20 keeps y and height", {0, 0, 1, 0}, {150, 180}, {150, 120}, {}, {100, 100, 100, 80}},
        {"cut at the boundary's left", {1, 1, -1, 1}, {100, 100}, {30, 100}, shifted, {50, 100, 150, 80}},
        {"cut at the boundary's right", {0, 0, 1, -1}, {200, 180}, {400, 180}, shifted, {100, 100, 250, 80}},
        {"cut at the boundary's bottom", {0, 0, 1, -1}, {200, 180}, {200, 400}, shifted, {100, 100, 100, 200}},
    };
    for (const auto& row : resizes) {
        SCOPED_TRACE(row.what);
        const QRectF result = resizedFrame(frame, row.anchor, row.from, row.to, ResizeLimits{48, 48, row.boundary});
        EXPECT_EQ(result, row.expected);
    }
    // The touch itself stays 10 points inside the boundary.
    EXPECT_EQ(confinedTouch({0, 500}, ResizeLimits{48, 48, shifted}), QPointF(60, 290));

    const struct {
        const char* what;
        QPointF delta;
        std::optional<QRectF> boundary;
        QPointF centre;
    } moves[] = {
        {"free", {-300, 40}, {}, {-150, 180}},
        {"held at the boundary's left", {-300, 40}, shifted, {100, 180}},
        {"held at the boundary's right and bottom", {400, 400}, shifted, {300, 260}},
    };
    for (const auto& row : moves) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(translatedCentre(frame, row.delta, ResizeLimits{48, 48, row.boundary}), row.centre);
    }
}

struct CountingDelegate : RZUserResizableViewDelegate {
    int began = 0, moved = 0, ended = 0;
    QRect frameWhenMoved;
    void userResizableViewDidBeginEditing(RZUserResizableView*) override { ++began; }
    void userResizableViewDidMove(RZUserResizableView* view) override {
        ++moved;
        frameWhenMoved = view->geometry();
    }
    void userResizableViewDidEndEditing(RZUserResizableView*) override { ++ended; }
};

// The crop frame's grip and inside, and the resizable frame's corner and middle.
TEST(CropWidgets, MouseDragsResizeAndMoveTheFrames) {
    QWidget host;
    host.resize(390, 600);
    host.setContentsMargins(20, 0, 0, 0);

    auto* crop = new BrelvoCropView(&host);
    crop->hide();
    crop->setPictureGeometry(QRect(0, 20, 390, 560));
    crop->show();
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    ASSERT_EQ(crop->cropRect(), QRectF(120, 230, 150, 100));
    // Points of the picture, in the crop view.
    const auto at = [&](int x, int y) { return crop->mapFrom(&host, QPoint(x, y + 20)); };
    QTest::mousePress(crop, Qt::LeftButton, {}, at(270, 330));
    EXPECT_EQ(crop->currentMode(), CropGeometry::BottomRight);
    QTest::mouseMove(crop, at(300, 360));
    QTest::mouseRelease(crop, Qt::LeftButton, {}, at(300, 360));
    QTest::mousePress(crop, Qt::LeftButton, {}, at(200, 280));
    QTest::mouseMove(crop, at(100, 270));
    QTest::mouseRelease(crop, Qt::LeftButton, {}, at(100, 270));
    EXPECT_EQ(crop->cropRect(), QRectF(20, 220, 180, 130));
    EXPECT_EQ(crop->currentMode(), CropGeometry::Idle);
    crop->hide();

    CountingDelegate delegate;
    auto* frame = new RZUserResizableView(&host);
    frame->setContentView(new QWidget);
    frame->setDelegate(&delegate);
    frame->setGeometry(100, 100, 120, 100);
    frame->show();
    // The lower-right corner, dragged out and then far past the right edge.
    QTest::mousePress(frame, Qt::LeftButton, {}, QPoint(118, 98));
    EXPECT_TRUE(frame->isResizing());
    EXPECT_TRUE(frame->borderView()->isVisible());
    QTest::mouseMove(frame, QPoint(148, 118));
    EXPECT_EQ(delegate.frameWhenMoved, QRect(100, 100, 120, 100));  // told before the frame changes
    QTest::mouseRelease(frame, Qt::LeftButton, {}, QPoint(148, 118));
    EXPECT_EQ(frame->geometry(), QRect(100, 100, 150, 120));
    EXPECT_FALSE(frame->borderView()->isVisible());
    // Steps of a fraction of a point, as at a fractional scale, add up.
    for (int i = 1; i <= 10; ++i)
        frame->resizeUsingTouchLocation(QPointF(248 + 0.4 * i, 218));
    EXPECT_EQ(frame->geometry(), QRect(100, 100, 154, 120));
    frame->resize(150, 120);
    // The middle, dragged left past the parent's margin.
    QTest::mousePress(frame, Qt::LeftButton, {}, QPoint(75, 60));
    EXPECT_FALSE(frame->isResizing());
    // Released where the move ended, though the frame has moved under it since.
    const QPoint end = frame->mapToParent(QPoint(-25, 70));
    QTest::mouseMove(frame, QPoint(-25, 70));
    QTest::mouseRelease(frame, Qt::LeftButton, {}, frame->mapFromParent(end));
    EXPECT_EQ(frame->geometry(), QRect(20, 110, 150, 120));
    EXPECT_EQ(frame->contentView()->geometry(), QRect(10, 10, 130, 100));
    EXPECT_EQ(delegate.began, 2);
    EXPECT_EQ(delegate.moved, 2);
    EXPECT_EQ(delegate.ended, 2);
}

}  // namespace
