// The editor canvas on plain images: strokes painted where they lie against
// the whole-layer redraw, the marker's single coat, the history and its
// budget, crop at full resolution, the arrow head and bad input.
#include "ui/editor/canvas/EditCanvas.h"
#include "ui/editor/tools/Bitmap.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

using namespace brelvo;

namespace {

// A picture whose every pixel differs from its neighbours.
QImage pattern(int w, int h, qreal ratio = 1) {
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) image.setPixel(x, y, qRgb(x % 251, y % 241, (x * 7 + y * 3) % 256));
    image.setDevicePixelRatio(ratio);
    return image;
}

// A canvas showing a picture of w x h points that fills its bounds.
void show(EditCanvas& canvas, int w, int h, qreal ratio) {
    canvas.setFrame(QSizeF(w, h));
    canvas.setSourceImage(pattern(qRound(w * ratio), qRound(h * ratio), ratio));
}

// A stroke of `n` points that winds over itself.
std::vector<QPointF> loops(int n, QPointF centre, qreal radius) {
    std::vector<QPointF> points;
    for (int i = 0; i < n; ++i) {
        const qreal t = i * 0.11;
        points.emplace_back(centre.x() + radius * std::sin(2 * t), centre.y() + radius * std::cos(3 * t));
    }
    return points;
}

void stroke(EditCanvas& canvas, int mode, const std::vector<QPointF>& points) {
    canvas.setCurrentEditMode(mode);
    canvas.touchBegan(points.front());
    for (size_t i = 1; i < points.size(); ++i) canvas.touchMoved(points[i]);
    canvas.touchEnded();
}

// `before` with the pixels of `after` inside `area` (points) copied over it.
QImage patched(QImage before, const QImage& after, const QRectF& area) {
    const qreal ratio = after.devicePixelRatio();
    const QRect pixels = QRectF(area.topLeft() * ratio, area.size() * ratio).toAlignedRect() & after.rect();
    for (int y = pixels.top(); y <= pixels.bottom(); ++y)
        std::memcpy(before.scanLine(y) + pixels.left() * 4, after.constScanLine(y) + pixels.left() * 4, pixels.width() * 4);
    return before;
}

}  // namespace

// Painting each segment into the layer where it lies must give exactly what
// a fresh layer with the old one and the segment drawn into it gives, and
// change nothing outside the area the move reports.
TEST(EditCanvas, StrokesPaintedInPlaceMatchTheWholeLayerRedraw) {
    for (const qreal ratio : {1.0, 2.0}) {
        for (const int mode : {int(kModePencil), int(kModeMarker)}) {
            SCOPED_TRACE(testing::Message() << "ratio " << ratio << " mode " << mode);
            EditCanvas canvas(ratio);
            show(canvas, 300, 200, ratio);
            canvas.setCurrentEditMode(mode);
            canvas.setCurrentColor(mode == kModePencil ? 0 : 2);
            const StrokeTool reference(mode == kModePencil ? kPencil : kMarker);
            const std::vector<QPointF> points = loops(200, QPointF(150, 100), 80);

            QImage expected;
            canvas.touchBegan(points.front());
            for (size_t i = 1; i < points.size(); ++i) {
                const QImage before = expected.isNull() ? bitmap::blank(QSizeF(300, 200), ratio) : expected;
                QImage next = bitmap::blank(QSizeF(300, 200), ratio);
                {
                    QPainter painter(&next);
                    if (!expected.isNull()) painter.drawImage(QRectF(0, 0, 300, 200), expected);
                    reference.draw(painter, points[i - 1], points[i], canvas.colour());
                }
                expected = next;
                const QRectF changed = canvas.touchMoved(points[i]);
                ASSERT_EQ(canvas.drawingLayer(), expected) << "step " << i;
                ASSERT_EQ(patched(before, canvas.drawingLayer(), changed), canvas.drawingLayer()) << "step " << i;
            }
            EXPECT_EQ(canvas.drawingLayer().size(), QSize(300, 200) * ratio);
        }
    }
}

// Where the marker crosses its own ink the layer keeps one coat (alpha 0.6).
TEST(EditCanvas, MarkerCrossingItselfKeepsOneCoat) {
    EditCanvas canvas;
    show(canvas, 100, 100, 1);
    stroke(canvas, kModeMarker, {{10, 50}, {90, 50}});
    stroke(canvas, kModeMarker, {{50, 10}, {50, 90}});
    const QImage& layer = canvas.drawingLayer();
    EXPECT_NEAR(qAlpha(layer.pixel(20, 50)), 153, 1);
    EXPECT_NEAR(qAlpha(layer.pixel(50, 20)), 153, 1);
    EXPECT_NEAR(qAlpha(layer.pixel(50, 50)), 153, 1);
}

TEST(EditCanvas, HistoryAppliesUndoesAndRedoes) {
    EditCanvas canvas;
    show(canvas, 200, 100, 1);
    const QImage screenshot = canvas.getEditedImage();
    EXPECT_EQ(canvas.undoStack().count(), 1);
    EXPECT_TRUE(canvas.undoChanges()) << "the screenshot is never undone";
    EXPECT_TRUE(canvas.redoChanges());
    EXPECT_EQ(canvas.undoStack().count(), 1);
    EXPECT_TRUE(canvas.redoStack().isEmpty());

    canvas.setCurrentEditMode(kModePencil);
    EXPECT_FALSE(canvas.applyChanges()) << "nothing drawn";
    stroke(canvas, kModePencil, {{10, 10}, {100, 80}});
    ASSERT_TRUE(canvas.applyChanges());
    EXPECT_TRUE(canvas.drawingLayer().isNull());
    const QImage first = canvas.getEditedImage();
    stroke(canvas, kModeMarker, {{150, 10}, {20, 90}});
    ASSERT_TRUE(canvas.applyChanges());
    const QImage second = canvas.getEditedImage();
    EXPECT_NE(first, second);
    EXPECT_EQ(canvas.undoStack().count(), 3);

    EXPECT_FALSE(canvas.undoChanges());
    EXPECT_TRUE(canvas.undoChanges());
    EXPECT_EQ(canvas.getEditedImage(), screenshot);
    EXPECT_EQ(canvas.redoStack().count(), 2);
    EXPECT_FALSE(canvas.redoChanges());
    EXPECT_EQ(canvas.getEditedImage(), first);
    EXPECT_TRUE(canvas.redoChanges());
    EXPECT_EQ(canvas.getEditedImage(), second);

    // Apply after undo drops what could have been redone.
    canvas.undoChanges();
    stroke(canvas, kModePencil, {{5, 5}, {60, 5}});
    ASSERT_TRUE(canvas.applyChanges());
    EXPECT_TRUE(canvas.redoStack().isEmpty());
    EXPECT_EQ(canvas.undoStack().count(), 3);
}

// Entries are stretched under the top one; the shown picture takes its size
// in points and keeps the screenshot's pixels.
TEST(EditCanvas, MergeTakesTheTopEntrysSizeAtThePicturesDensity) {
    EditCanvas canvas;
    canvas.setFrame(QSizeF(100, 50));
    QImage blue(200, 100, QImage::Format_ARGB32_Premultiplied);
    blue.fill(Qt::blue);
    canvas.setSourceImage(blue);
    EXPECT_EQ(canvas.fittedRect(), QRectF(0, 0, 100, 50));
    stroke(canvas, kModePencil, {{10, 10}, {20, 10}});
    ASSERT_TRUE(canvas.applyChanges());
    EXPECT_EQ(bitmap::pointSize(canvas.getEditedImage()), QSizeF(100, 50));
    EXPECT_EQ(canvas.getEditedImage().size(), QSize(200, 100));
    EXPECT_EQ(canvas.getEditedImage().pixel(180, 80), QColor(Qt::blue).rgb());
    EXPECT_EQ(canvas.getEditedImage().pixel(30, 20), QColor(Qt::red).rgb());
}

// One applied edit costs one layer of the fitted size; past the budget the
// oldest steps are folded into the picture, which stays as it was.
TEST(EditCanvas, HistoryCostAndBudget) {
    EditCanvas bounded(2), unbounded(2);
    unbounded.setHistoryBudget(qint64(1) << 40);
    for (EditCanvas* canvas : {&bounded, &unbounded}) show(*canvas, 540, 1170, 2);
    const qint64 screenshotBytes = bounded.historyBytes();
    EXPECT_EQ(screenshotBytes, qint64(1080) * 2340 * 4) << "the shown picture shares the screenshot's pixels";

    for (int i = 0; i < 8; ++i) {
        for (EditCanvas* canvas : {&bounded, &unbounded}) {
            stroke(*canvas, kModeMarker, loops(20, QPointF(100 + 40 * i, 300 + 80 * i), 60));
            ASSERT_TRUE(canvas->applyChanges());
        }
        if (i == 0) {
            const qint64 perEdit = bounded.historyBytes() - screenshotBytes;
            EXPECT_EQ(perEdit, qint64(1080) * 2340 * 4);
            RecordProperty("bytes_per_applied_edit", QString::number(perEdit).toStdString());
        }
        EXPECT_LE(bounded.historyBytes(), EditCanvas::kHistoryBudget);
        EXPECT_EQ(bounded.getEditedImage(), unbounded.getEditedImage()) << "after edit " << i;
    }
    EXPECT_LT(bounded.undoStack().count(), unbounded.undoStack().count());
    EXPECT_GE(bounded.undoStack().count(), 2);
    while (!bounded.undoChanges()) unbounded.undoChanges();
    unbounded.undoChanges();
    EXPECT_EQ(bounded.getEditedImage(), unbounded.getEditedImage());
}

// The crop is cut from the shown picture at its own resolution; a crop of
// no size keeps the picture.
TEST(EditCanvas, CropKeepsFullResolution) {
    for (const qreal ratio : {1.0, 2.0}) {
        SCOPED_TRACE(ratio);
        EditCanvas canvas(ratio);
        canvas.setFrame(QSizeF(400, 300));
        canvas.setSourceImage(pattern(qRound(800 * ratio), qRound(600 * ratio), ratio));
        ASSERT_EQ(canvas.fitScale(), 0.5f);
        canvas.setCurrentEditMode(kModeCrop);
        for (const QRectF& empty : {QRectF(10, 20, 0, 100), QRectF(10, 20, -5, -5), QRectF(10, 20, 0.1, 0.1)}) {
            canvas.setCropRect(empty);
            EXPECT_FALSE(canvas.applyChanges());
            EXPECT_EQ(canvas.undoStack().count(), 1);
            EXPECT_EQ(canvas.getEditedImage().size(), QSize(800, 600) * ratio);
        }
        canvas.setCropRect(QRectF(10, 20, 150, 100));
        ASSERT_TRUE(canvas.applyChanges());
        const QImage& cropped = canvas.getEditedImage();
        EXPECT_EQ(bitmap::pointSize(cropped), QSizeF(300, 200));
        EXPECT_EQ(cropped, canvas.sourceImage().copy(QRect(QPoint(20, 40) * ratio, QSize(300, 200) * ratio)));
    }
}

TEST(EditCanvas, ArrowHead) {
    const auto near = [](QPointF a, QPointF b) { return std::hypot(a.x() - b.x(), a.y() - b.y()) < 1e-9; };
    const auto down = arrowBarbs({100, 100}, {100, 200});
    ASSERT_TRUE(down);
    EXPECT_TRUE(near(down->first, {110, 180}) && near(down->second, {90, 180})) << down->first.x() << down->first.y();
    const auto up = arrowBarbs({100, 100}, {100, 0});
    ASSERT_TRUE(up);
    EXPECT_TRUE(near(up->first, {90, 20}) && near(up->second, {110, 20})) << up->first.x() << up->first.y();
    EXPECT_FALSE(arrowBarbs({40, 40}, {40, 40}));
    // A level arrow whose single-precision length rounds under its width.
    const auto level = arrowBarbs({0.27, 50}, {0, 50});
    ASSERT_TRUE(level);
    EXPECT_TRUE(std::isfinite(level->first.x()) && std::isfinite(level->first.y()));
    EXPECT_TRUE(std::isfinite(level->second.x()) && std::isfinite(level->second.y()));

    // A drag back to its start leaves a dot, and the release keeps it.
    EditCanvas canvas;
    show(canvas, 100, 100, 1);
    stroke(canvas, kModeArrow, {{40, 40}, {70, 40}, {40, 40}});
    EXPECT_NE(qAlpha(canvas.drawingLayer().pixel(40, 40)), 0);
    EXPECT_EQ(qAlpha(canvas.drawingLayer().pixel(60, 40)), 0);
    EXPECT_EQ(canvas.backingImage(), canvas.drawingLayer());
}

// A one-pixel and a huge screenshot both work, the huge one with layers
// bounded in pixels; a tool changed mid-stroke ends the stroke.
TEST(EditCanvas, BadInput) {
    EditCanvas tiny(2);
    tiny.setFrame(QSizeF(400, 300));
    tiny.setSourceImage(pattern(1, 1));
    stroke(tiny, kModePencil, {{0, 0}, {299, 299}});
    EXPECT_EQ(tiny.drawingLayer().size(), QSize(600, 600));
    EXPECT_TRUE(tiny.applyChanges());

    EditCanvas huge(2);
    huge.setFrame(QSizeF(540, 1126));
    QImage big(8000, 8000, QImage::Format_RGB32);
    big.fill(Qt::white);
    huge.setSourceImage(big);
    stroke(huge, kModeMarker, {{10, 10}, {500, 500}});
    EXPECT_EQ(huge.drawingLayer().size(), QSize(4096, 4096));
    EXPECT_TRUE(huge.applyChanges());
    huge.undoChanges();
    huge.setCurrentEditMode(kModeCrop);
    huge.setCropRect(huge.fittedRect().translated(-huge.fittedRect().topLeft()));
    EXPECT_TRUE(huge.applyChanges());
    EXPECT_EQ(huge.getEditedImage().size(), QSize(8000, 8000));

    EditCanvas canvas;
    show(canvas, 100, 100, 1);
    canvas.setCurrentEditMode(kModePencil);
    canvas.touchBegan({10, 10});
    EXPECT_FALSE(canvas.touchMoved({50, 10}).isEmpty());
    const QImage drawn = canvas.drawingLayer();
    canvas.setCurrentEditMode(kModeMarker);
    EXPECT_TRUE(canvas.touchMoved({50, 90}).isEmpty());
    EXPECT_EQ(canvas.drawingLayer(), drawn);
    canvas.touchBegan({50, 90});
    EXPECT_FALSE(canvas.touchMoved({90, 90}).isEmpty());
}
