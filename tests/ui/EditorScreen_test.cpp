// The screenshot editor as the tester uses it: opened from the preview of a
// screenshot on the issue form, drawn on with the mouse, applied, undone and
// redone, and saved over the screenshot's file.
#include "platform/Defaults.h"
#include "support/TestSupport.h"
#include "ui/SessionTestHost.h"
#include "ui/editor/BrelvoEditImageViewController.h"
#include "ui/editor/canvas/BrelvoEditView.h"
#include "ui/editor/crop/BrelvoCropView.h"
#include "ui/editor/text/BrelvoTextView.h"
#include "ui/editor/tools/Bitmap.h"
#include "ui/issue/FeedbackViewControllerBrelvo.h"
#include "ui/issue/ScreenshotEditBrelvoVC.h"
#include "ui/issue/ScreenshotStore.h"
#include "ui/issue/ScreenshotStrip.h"

#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace brelvo;

namespace {

using Editor = BrelvoEditImageViewController;

class EditorScreen : public test::SessionHostTest {
protected:
    void SetUp() override {
        test::SessionHostTest::SetUp();
        savedHome = qgetenv("HOME");
        qputenv("HOME", home.path().toUtf8());  // the photo album's folder
        Defaults::standard().setObject(QString(), ScreenshotStore::kListKey);
        form = new FeedbackViewControllerBrelvo(layer.get());
        form->setGeometry(layer->rect());
        form->show();
    }
    void TearDown() override {
        delete form;
        for (const QString& path : ScreenshotStore::shared().list()) ScreenshotStore::shared().remove(path);
        qputenv("HOME", savedHome);
        test::SessionHostTest::TearDown();
    }
    // Drags the mouse through the points, in the canvas's coordinates.
    static void drag(QWidget* canvas, const QList<QPoint>& points) {
        QTest::mousePress(canvas, Qt::LeftButton, {}, points.first());
        for (const QPoint& p : points.mid(1)) QTest::mouseMove(canvas, p);
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, points.last());
    }
    static QImage pixels(const QImage& image) { return image.convertToFormat(QImage::Format_ARGB32); }

    QTemporaryDir home;
    QByteArray savedHome;
    FeedbackViewControllerBrelvo* form = nullptr;
};

TEST_F(EditorScreen, DrawApplyUndoRedoAndSaveOverTheScreenshot) {
    // Exactly the canvas's size on this screen, in its pixels, so the saved
    // picture keeps every pixel.
    const qreal r = screen::scale();
    const auto px = [r](const QRectF& points) {
        return QRectF(points.topLeft() * r, points.size() * r).toAlignedRect();
    };
    QImage original(QSize(320, 480) * r, QImage::Format_ARGB32);
    original.fill(QColor(40, 90, 160));
    QPainter(&original).fillRect(px({200, 20, 100, 60}), Qt::white);
    QSignalSpy stored(&ScreenshotStore::shared(), &ScreenshotStore::captureSaved);
    ScreenshotStore::shared().saveCapture(original);
    ASSERT_TRUE(test::waitFor([&] { return stored.size() == 1 && form->strip()->thumbnail(0); }));
    const QString path = stored[0][0].toString();
    const QImage thumbnailBefore = form->strip()->thumbnail(0)->grab().toImage();

    QTest::mouseClick(form->strip()->thumbnail(0), Qt::LeftButton);
    ScreenshotEditBrelvoVC* preview = nullptr;
    ASSERT_TRUE(test::waitFor([&] {
        preview = form->findChild<ScreenshotEditBrelvoVC*>();
        return preview && preview->isVisible();
    }));
    QTest::mouseClick(preview->editButton(), Qt::LeftButton);
    ASSERT_TRUE(test::waitFor([&] { return preview->editor() && preview->editor()->isVisible(); }));
    Editor* editor = preview->editor();
    BrelvoEditView* canvas = editor->editorView();
    ASSERT_EQ(canvas->pictureRect(), QRectF(0, 0, 320, 480));
    EXPECT_FALSE(editor->undoButton()->isEnabled());
    EXPECT_FALSE(editor->redoButton()->isEnabled());

    // The pencil, in black: applied, the picture changes; undo brings it back, redo the stroke.
    QTest::mouseClick(editor->stripButton(0), Qt::LeftButton);
    EXPECT_EQ(canvas->currentEditMode(), 1);
    QTest::mouseClick(editor->stripButton(4), Qt::LeftButton);
    drag(canvas, {{40, 100}, {100, 100}, {160, 100}});
    QTest::mouseClick(editor->saveButton(), Qt::LeftButton);  // "Apply"
    EXPECT_FALSE(editor->enableEditMode());
    EXPECT_TRUE(editor->undoButton()->isEnabled());
    EXPECT_FALSE(editor->redoButton()->isEnabled());
    const QImage penciled = pixels(canvas->getEditedImage());
    EXPECT_EQ(penciled.pixelColor(QPoint(100, 100) * r), QColor(Qt::black));
    QTest::mouseClick(editor->undoButton(), Qt::LeftButton);
    EXPECT_EQ(pixels(canvas->getEditedImage()), pixels(original));
    EXPECT_FALSE(editor->undoButton()->isEnabled());
    EXPECT_TRUE(editor->redoButton()->isEnabled());
    QTest::mouseClick(editor->redoButton(), Qt::LeftButton);
    EXPECT_EQ(pixels(canvas->getEditedImage()), penciled);
    EXPECT_FALSE(editor->redoButton()->isEnabled());

    // Typed text is put on the picture where it shows; undone, it goes.
    QTest::mouseClick(editor->stripButton(2), Qt::LeftButton);
    EXPECT_EQ(canvas->currentEditMode(), 3);
    BrelvoTextView* text = canvas->textView();
    ASSERT_TRUE(text->isVisible());
    QTest::mouseClick(text, Qt::LeftButton, {}, QPoint(60, 60));  // a tap on the placeholder starts typing
    ASSERT_TRUE(text->isTyping());
    QTest::keyClicks(text, QStringLiteral("Bug"));
    QTest::mouseClick(editor->saveButton(), Qt::LeftButton);  // "Apply"
    EXPECT_NE(pixels(canvas->getEditedImage()), penciled);
    QTest::mouseClick(editor->undoButton(), Qt::LeftButton);
    EXPECT_EQ(pixels(canvas->getEditedImage()), penciled);

    // Crop keeps what lies in the frame (no colours to choose meanwhile); undone, the picture is whole again.
    QTest::mouseClick(editor->stripButton(3), Qt::LeftButton);
    EXPECT_FALSE(editor->stripButton(0)->isVisible());
    const QRectF crop = canvas->cropView()->cropRect();
    ASSERT_FALSE(crop.isEmpty());
    QTest::mouseClick(editor->saveButton(), Qt::LeftButton);  // "Apply"
    EXPECT_EQ(bitmap::pointSize(canvas->getEditedImage()), crop.size());
    QTest::mouseClick(editor->undoButton(), Qt::LeftButton);
    EXPECT_EQ(pixels(canvas->getEditedImage()), penciled);

    // The marker starts in red again; green is chosen from the strip.
    QTest::mouseClick(editor->stripButton(1), Qt::LeftButton);
    EXPECT_EQ(canvas->currentEditMode(), 2);
    EXPECT_EQ(canvas->currentColor(), 0);
    EXPECT_TRUE(editor->stripButton(0)->isChecked());
    QTest::mouseClick(editor->stripButton(3), Qt::LeftButton);
    EXPECT_EQ(canvas->currentColor(), 3);
    EXPECT_FALSE(editor->stripButton(0)->isChecked());
    drag(canvas, {{60, 300}, {200, 300}});
    QTest::mouseClick(editor->saveButton(), Qt::LeftButton);  // "Apply"
    QTest::mouseClick(editor->saveButton(), Qt::LeftButton);  // "Save"
    ASSERT_TRUE(test::waitFor([&] { return form->findChildren<ScreenshotEditBrelvoVC*>().isEmpty(); }));

    // The file holds the strokes and, everywhere else, the screenshot as it was.
    const QImage saved = pixels(QImage(path));
    ASSERT_EQ(saved.size(), original.size());
    const QRect pencil = px({40 - 3, 100 - 3, 127, 7}), marker = px({60 - 16, 300 - 16, 173, 33});
    int changedPencil = 0, changedMarker = 0, changedElsewhere = 0;
    for (int y = 0; y < saved.height(); ++y)
        for (int x = 0; x < saved.width(); ++x) {
            if (saved.pixel(x, y) == original.pixel(x, y)) continue;
            (pencil.contains(x, y) ? changedPencil : marker.contains(x, y) ? changedMarker : changedElsewhere)++;
        }
    EXPECT_GT(changedPencil, 100);
    EXPECT_GT(changedMarker, 2000);
    EXPECT_EQ(changedElsewhere, 0);
    const QColor ink = saved.pixelColor(QPoint(130, 300) * r);
    EXPECT_GT(ink.green(), ink.red());
    EXPECT_EQ(ScreenshotStore::shared().list(), QStringList{path});
    EXPECT_TRUE(test::waitFor([&] {
        return form->strip()->thumbnail(0) && form->strip()->thumbnail(0)->grab().toImage() != thumbnailBefore;
    }));
}

// A one-pixel and a huge screenshot are drawn on and cropped through the
// widget; a crop frame squeezed by a window smaller than its minimum still
// gives a crop inside the picture.
TEST(EditorScreenBadInput, TinyAndHugePicturesAndASqueezedCropFrame) {
    for (const QSize size : {QSize(1, 1), QSize(8000, 8000)}) {
        SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height());
        QImage picture(size, QImage::Format_RGB32);
        picture.fill(Qt::white);
        BrelvoEditView view;
        view.resize(320, 480);
        view.setSourceImage(picture);
        view.show();
        view.setCurrentEditMode(kModePencil);
        const QPoint c = view.pictureRect().center().toPoint();
        QTest::mousePress(&view, Qt::LeftButton, {}, c - QPoint(50, 0));
        QTest::mouseMove(&view, c + QPoint(50, 0));
        QTest::mouseRelease(&view, Qt::LeftButton, {}, c + QPoint(50, 0));
        EXPECT_TRUE(view.applyChanges());

        view.setCurrentEditMode(kModeCrop);
        view.resize(90, 60);  // below the frame's 150 x 100
        const QRectF crop = view.cropView()->cropRect();
        EXPECT_TRUE(QRectF(QPointF(0, 0), view.pictureRect().size()).contains(crop)) << crop.x() << "," << crop.y();
        EXPECT_TRUE(view.applyChanges());
        EXPECT_FALSE(view.canvas().getEditedImage().isNull());
    }
}

// On phones and tablets, upright and sideways, viewing and editing: every
// control lies whole in a bar and none covers another; the canvas takes the rest.
TEST(EditorLayout, ControlsFitTheBarsOnEverySizeAndOrientation) {
    for (const auto& [size, tablet] : {std::pair{QSize(320, 568), false}, {QSize(568, 320), false},
                                       {QSize(320, 480), false}, {QSize(480, 320), false},
                                       {QSize(768, 1024), true}, {QSize(1024, 768), true}}) {
        for (bool editing : {false, true}) {
            SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height() << (tablet ? " tablet" : " phone")
                                            << (editing ? " editing" : " viewing"));
            const Editor::Layout l = Editor::layoutFor(size, tablet, editing);
            const bool bottomBar = !tablet && size.height() > size.width();
            QList<QRect> controls{l.exit, l.save, l.strip};
            controls += editing ? QList<QRect>{l.currentTool} : QList<QRect>{l.undo, l.redo};
            for (int i = 0; i < controls.size(); ++i) {
                EXPECT_TRUE(l.topBar.contains(controls[i]) || (bottomBar && l.bottomBar.contains(controls[i])));
                for (int j = i + 1; j < controls.size(); ++j)
                    EXPECT_FALSE(controls[i].intersects(controls[j])) << i << " and " << j;
            }
            EXPECT_EQ(bottomBar, l.bottomBar.bottom() < size.height());
            EXPECT_EQ(l.canvas, QRect(0, 44, size.width(), size.height() - (bottomBar ? 88 : 44)));
        }
    }
}

}  // namespace
