// The editor's text box: its turning, scaling and moving on plain values, the
// rendered text alone at two pixel ratios, and one pass of real mouse and key
// events through the widget.
#include "ui/editor/text/BrelvoTextView.h"
#include "ui/editor/text/TextBoxGeometry.h"

#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

using namespace brelvo;

namespace {

std::string str(QPointF p) {
    return "(" + std::to_string(p.x()) + ", " + std::to_string(p.y()) + ")";
}

void expectNear(QPointF actual, QPointF expected, double tolerance = 0.01) {
    EXPECT_NEAR(actual.x(), expected.x(), tolerance) << str(actual) << " vs " << str(expected);
    EXPECT_NEAR(actual.y(), expected.y(), tolerance) << str(actual) << " vs " << str(expected);
}

bool finite(const QTransform& t) {
    for (double v : {t.m11(), t.m12(), t.m13(), t.m21(), t.m22(), t.m23(), t.m31(), t.m32(), t.m33()})
        if (!std::isfinite(v))
            return false;
    return true;
}

// Turned and scaled as well, and also where the handle lies over the text.
TEST(TextBoxGeometry, HandleSitsOnTheCornerAndTakesTouchesWithinFifteenPoints) {
    struct Row {
        const char* what;
        TextPlacement placement;
        QPointF handle;
    };
    const QRectF frame(50, 50, 100, 50);  // centre (100, 75)
    const Row rows[] = {
        {"as laid out", {}, {150, 100}},
        {"moved", {10, -5, 1, 1, 0}, {160, 95}},
        {"turned a quarter", {0, 0, 1, 1, M_PI_2}, {75, 125}},
        {"scaled unevenly, then turned", {0, 0, 2, 1, M_PI_2}, {75, 175}},
        {"shrunk to nothing", {0, 0, 0, 0, 1}, {100, 75}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TextBoxGeometry box;
        box.setFrame(frame);
        box.setPlacement(row.placement);
        expectNear(box.handleCentre(), row.handle, 1e-4);
        // The drawn field's corner is where the handle is: the transform
        // scales, then turns, then moves.
        expectNear(box.transform().map(QPointF(100, 50)), row.handle, 1e-4);
        for (const QPointF offset : {QPointF(14.99, 0), QPointF(0, -14.99), QPointF(15, 0), QPointF(-9, -12)}) {
            box.touchBegan(row.handle + offset);
            const bool within = std::hypot(offset.x(), offset.y()) < 15;
            EXPECT_EQ(box.mode() == TextBoxGeometry::Turning, within) << str(offset);
            box.touchEnded();
        }
    }
}

// Evenly scaled; fields with no width (or no size at all) keep every value finite.
TEST(TextBoxGeometry, HandleDragKeepsTheHandleUnderTheFinger) {
    struct Row {
        const char* what;
        QRectF frame;
        QPointF to;
        bool follows;
    };
    const Row rows[] = {
        {"outwards along the corner", {50, 50, 100, 50}, {200, 125}, true},
        {"around at the same distance", {50, 50, 100, 50}, {100 - 55.9017, 75}, true},
        {"a square field, inwards and turned", {50, 50, 60, 60}, {80, 50}, true},
        {"a field of no width", {50, 50, 0, 40}, {90, 70}, true},
        {"onto the centre", {50, 50, 100, 50}, {100, 75}, true},
        {"a field of no size", {50, 50, 0, 0}, {90, 90}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TextBoxGeometry box;
        box.setFrame(row.frame);
        box.touchBegan(box.handleCentre());
        ASSERT_EQ(box.mode(), TextBoxGeometry::Turning);
        box.touchMoved(row.to);
        const TextPlacement& p = box.placement();
        EXPECT_EQ(p.width, p.height);
        EXPECT_TRUE(std::isfinite(p.angle) && std::isfinite(p.width)) << p.angle << " " << p.width;
        EXPECT_TRUE(finite(box.transform()));
        if (row.follows)
            expectNear(box.handleCentre(), row.to);
        else
            EXPECT_EQ(p.width, 1);
        box.touchEnded();
        EXPECT_EQ(box.mode(), TextBoxGeometry::Idle);
    }
}

// A drag on the text moves it by the finger's way, a tap asks for typing, a
// touch beside the (turned) text or on a vanished field changes nothing.
TEST(TextBoxGeometry, TouchesOnTheTextMoveItOrStartTyping) {
    struct Row {
        const char* what;
        TextPlacement placement;
        QPointF press;
        std::vector<QPointF> moves;
        TextBoxGeometry::Mode mode;
        QPointF moved;
        bool tap;
    };
    const Row rows[] = {
        {"a tap on the text", {}, {60, 60}, {}, TextBoxGeometry::Moving, {0, 0}, true},
        {"a drag on the text", {}, {60, 60}, {{70, 65}, {40, 90}}, TextBoxGeometry::Moving, {-20, 30}, false},
        {"a drag back where it began", {}, {60, 60}, {{61, 60}, {60, 60}}, TextBoxGeometry::Moving, {0, 0}, false},
        {"beside the text", {}, {160, 60}, {{200, 200}}, TextBoxGeometry::Idle, {0, 0}, false},
        {"where the text lay before it turned", {0, 0, 1, 1, M_PI_2}, {60, 75}, {{0, 0}}, TextBoxGeometry::Idle,
         {0, 0}, false},
        {"on the turned text", {0, 0, 1, 1, M_PI_2}, {90, 120}, {{95, 120}}, TextBoxGeometry::Moving, {5, 0}, false},
        {"a field shrunk to nothing, off its handle", {0, 0, 0, 0, 0}, {130, 75}, {{0, 0}}, TextBoxGeometry::Idle,
         {0, 0}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TextBoxGeometry box;
        box.setFrame(QRectF(50, 50, 100, 50));
        box.setPlacement(row.placement);
        box.touchBegan(row.press);
        EXPECT_EQ(box.mode(), row.mode);
        for (const QPointF& p : row.moves)
            box.touchMoved(p);
        EXPECT_EQ(box.touchEnded(), row.tap);
        EXPECT_EQ(QPointF(box.placement().x, box.placement().y), row.moved);
        EXPECT_EQ(box.placement().angle, row.placement.angle);
        EXPECT_EQ(box.placement().width, row.placement.width);
    }
}

// The rendering holds the text alone: pixels of its colour where the glyphs
// are, no frame, background or handle, at the layer's size and ratio and
// shifted by the layer's origin; without text, nothing.
TEST(TextBoxRender, RendersTheGlyphsAloneAtEachPixelRatio) {
    BrelvoTextView view;
    view.resize(300, 200);
    view.setTextColor(QColor(255, 0, 0));
    QRect glyphsAt1x;
    for (const qreal dpr : {1.0, 2.0}) {
        SCOPED_TRACE(dpr);
        const QSize pixels = (QSizeF(300, 200) * dpr).toSize();
        const QImage image = view.render(pixels, dpr, QPointF(20, 10));
        ASSERT_EQ(image.size(), pixels);
        EXPECT_EQ(image.devicePixelRatio(), dpr);
        QRect glyphs;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb px = image.pixel(x, y);
                if (qAlpha(px) == 0)
                    continue;
                ASSERT_TRUE(qRed(px) > 0 && qGreen(px) == 0 && qBlue(px) == 0)
                    << "not the text's colour at " << x << ", " << y << ": " << std::hex << px;
                glyphs |= QRect(x, y, 1, 1);
            }
        }
        // Inside the laid-out field (50, 50) less the origin, at this ratio.
        const QRectF field = QRectF(view.geometryState().frame()).translated(-20, -10);
        ASSERT_FALSE(glyphs.isEmpty());
        EXPECT_TRUE(QRectF(field.topLeft() * dpr, field.size() * dpr).contains(QRectF(glyphs)));
        if (dpr == 1)
            glyphsAt1x = glyphs;
        else  // drawn at the finer ratio, not scaled up
            EXPECT_NEAR(glyphs.width(), glyphsAt1x.width() * 2, 3);
    }

}

// Real mouse and key events; Return ends typing, and showing the box again
// starts from the placeholder.
TEST(TextBoxWidget, TapTypesAndHandleDragTurnsAndScales) {
    QWidget host;
    host.resize(390, 500);
    auto* view = new BrelvoTextView(&host);
    view->setGeometry(0, 20, 390, 460);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));

    const QPoint onText = view->geometryState().frame().center().toPoint();
    QTest::mouseClick(view, Qt::LeftButton, {}, onText);
    ASSERT_TRUE(view->isTyping());
    QTest::keyClicks(view, "Hi");
    EXPECT_EQ(view->text(), "textHi");
    for (int i = 0; i < 7; ++i)  // one more than there is
        QTest::keyClick(view, Qt::Key_Backspace);
    EXPECT_EQ(view->text(), "");
    const QImage empty = view->render(QSize(390, 460), 1);
    QImage transparent(empty.size(), empty.format());
    transparent.fill(Qt::transparent);
    EXPECT_EQ(empty, transparent);
    EXPECT_FALSE(view->grab().isNull());
    QTest::keyClicks(view, "Ok");
    QTest::keyClick(view, Qt::Key_Return);
    EXPECT_FALSE(view->isTyping());
    QTest::keyClicks(view, "x");
    EXPECT_EQ(view->text(), "Ok");

    // The handle, dragged in two steps; the handle stays under the finger.
    const QPoint handle = view->geometryState().handleCentre().toPoint();
    QTest::mousePress(view, Qt::LeftButton, {}, handle + QPoint(3, 3));
    EXPECT_EQ(view->geometryState().mode(), TextBoxGeometry::Turning);
    QTest::mouseMove(view, handle + QPoint(40, 60));
    QTest::mouseMove(view, handle + QPoint(-10, 90));
    QTest::mouseRelease(view, Qt::LeftButton, {}, handle + QPoint(-10, 90));
    EXPECT_FALSE(view->isTyping());
    const TextPlacement& placed = view->geometryState().placement();
    EXPECT_GT(placed.width, 1.5);
    EXPECT_GT(placed.angle, 0.3);
    expectNear(view->geometryState().handleCentre(), handle + QPoint(-10, 90), 1.5);

    view->hide();
    view->show();
    EXPECT_EQ(view->text(), "text");
    EXPECT_EQ(view->geometryState().placement().angle, 0);
    EXPECT_EQ(view->geometryState().frame().topLeft(), QPointF(50, 50));
}

}  // namespace
