// The screenshot preview over the issue form, as the tester uses it: opened
// from a thumbnail, saving a copy to the photo album, deleting, and editing
// within the limit of five without leaving copies or losing the original.
#include "platform/Defaults.h"
#include "state/UserHelperBrelvo.h"
#include "support/TestSupport.h"
#include "ui/SessionTestHost.h"
#include "ui/issue/ScreenshotEditBrelvoVC.h"
#include "ui/issue/FeedbackViewControllerBrelvo.h"
#include "ui/issue/ScreenshotStore.h"
#include "ui/issue/ScreenshotStrip.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextEdit>

#include <gtest/gtest.h>

using namespace brelvo;

namespace {

class ScreenshotPreview : public test::SessionHostTest {
protected:
    void SetUp() override {
        test::SessionHostTest::SetUp();
        // The photo album is the Pictures folder of this home.
        savedHome = qgetenv("HOME");
        qputenv("HOME", home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toUtf8());
        Defaults::standard().setObject(QString(), ScreenshotStore::kListKey);
        form = new FeedbackViewControllerBrelvo(layer.get());
        form->setGeometry(layer->rect());
        form->show();
    }
    void TearDown() override {
        delete form;
        qputenv("HOME", savedHome);
        qunsetenv("XDG_CONFIG_HOME");
        test::SessionHostTest::TearDown();
    }
    // A picture with some detail, so that a pixel-for-pixel comparison means something.
    static QImage picture(const QColor& color) {
        QImage image(160, 284, QImage::Format_ARGB32);
        image.fill(color);
        QPainter(&image).fillRect(10, 20, 30, 40, Qt::white);
        return image;
    }
    QString addCapture(const QColor& color) {
        QSignalSpy saved(&ScreenshotStore::shared(), &ScreenshotStore::captureSaved);
        ScreenshotStore::shared().saveCapture(picture(color));
        EXPECT_TRUE(test::waitFor([&] { return saved.size() == 1; }));
        return saved.isEmpty() ? QString() : saved[0][0].toString();
    }
    ScreenshotEditBrelvoVC* shownPreview() const {
        for (auto* p : form->findChildren<ScreenshotEditBrelvoVC*>())
            if (p->isVisible() && !p->isLeaving()) return p;
        return nullptr;
    }
    // Gone, not just leaving: one still sliding away would take the next tap.
    bool previewGone() const { return form->findChildren<ScreenshotEditBrelvoVC*>().isEmpty(); }
    ScreenshotEditBrelvoVC* openPreview(int index) {
        EXPECT_TRUE(test::waitFor([&] { return form->strip()->thumbnail(index) && form->strip()->thumbnail(index)->isVisible(); }));
        QTest::mouseClick(form->strip()->thumbnail(index), Qt::LeftButton);
        EXPECT_TRUE(test::waitFor([&] { return shownPreview() != nullptr; }));
        return shownPreview();
    }
    // The preview of that thumbnail with its editor open over it.
    ScreenshotEditBrelvoVC* openEditor(int index) {
        ScreenshotEditBrelvoVC* preview = openPreview(index);
        if (!preview) return nullptr;
        QTest::mouseClick(preview->editButton(), Qt::LeftButton);
        const bool shown = test::waitFor([&] { return preview->editor() && preview->editor()->isVisible(); });
        return shown ? preview : nullptr;
    }
    static QImage pixels(const QImage& image) { return image.convertToFormat(QImage::Format_ARGB32); }

    QTemporaryDir home;
    QByteArray savedHome;
    FeedbackViewControllerBrelvo* form = nullptr;
};

TEST_F(ScreenshotPreview, SaveDeleteAndEditFromTheThumbnails) {
    // A fresh capture from the menu: Save stores it for the issue and puts a
    // copy in the album, equal pixel for pixel.
    UserHelperBrelvo::shared().setLastImage(picture(Qt::red));
    form->btnMenuScreenshotsPressed();
    ASSERT_TRUE(test::waitFor([&] { return shownPreview() != nullptr; }));
    QTest::mouseClick(shownPreview()->saveButton(), Qt::LeftButton);
    ASSERT_TRUE(test::waitFor([&] { return previewGone(); }));
    const QStringList paths{ScreenshotStore::shared().list().value(0), addCapture(Qt::green), addCapture(Qt::blue)};
    EXPECT_EQ(pixels(QImage(paths[0])), pixels(picture(Qt::red)));
    const QDir album(home.path() + "/Pictures");
    const auto albumHolds = [&](const QColor& c) {
        for (const QString& name : album.entryList({"*.png"}, QDir::Files))
            if (pixels(QImage(album.filePath(name))) == pixels(picture(c))) return true;
        return false;
    };
    EXPECT_TRUE(test::waitFor([&] { return albumHolds(Qt::red); }));

    // Save on an attached screenshot: only the album gets a copy.
    ScreenshotEditBrelvoVC* preview = openPreview(1);
    ASSERT_TRUE(preview);
    EXPECT_EQ(pixels(preview->image()), pixels(picture(Qt::green)));
    QTest::mouseClick(preview->saveButton(), Qt::LeftButton);
    EXPECT_TRUE(test::waitFor([&] { return albumHolds(Qt::green); }));
    EXPECT_TRUE(test::waitFor([&] { return previewGone(); }));
    EXPECT_EQ(ScreenshotStore::shared().list(), paths);

    // Delete goes by the path shown, even when the list shifted under the preview.
    preview = openPreview(1);
    ASSERT_TRUE(preview);
    ScreenshotStore::shared().remove(paths[0]);
    form->rebuildScrollView();
    QTest::mouseClick(preview->deleteButton(), Qt::LeftButton);
    ASSERT_TRUE(test::waitFor([&] { return visibleAlert() != nullptr; }));
    EXPECT_EQ(visibleAlert()->messageView()->toPlainText(), "Do you want to delete this image?");
    QTest::mouseClick(visibleAlert()->otherButton(), Qt::LeftButton);
    EXPECT_TRUE(test::waitFor([&] { return previewGone() && visibleAlert() == nullptr; }));
    EXPECT_FALSE(QFile::exists(paths[1]));
    EXPECT_TRUE(QFile::exists(paths[2]));
    EXPECT_EQ(ScreenshotStore::shared().list(), QStringList{paths[2]});
    EXPECT_EQ(form->strip()->paths(), QStringList{paths[2]});

    // Edit works on the file itself: leaving the editor unchanged adds no
    // copy, to the list or to the folder.
    for (const QColor& c : {QColor(Qt::cyan), QColor(Qt::magenta), QColor(Qt::yellow)}) addCapture(c);
    const QStringList four = ScreenshotStore::shared().list();
    ASSERT_EQ(four.size(), 4);
    preview = openEditor(2);
    ASSERT_TRUE(preview);
    EXPECT_EQ(preview->editor()->originalScreenshotName(), four[2]);
    EXPECT_EQ(preview->editor()->selectedImageIndex(), 2);
    QTest::mouseClick(preview->editor()->exitButton(), Qt::LeftButton);
    EXPECT_TRUE(test::waitFor([&] { return previewGone(); }));
    EXPECT_EQ(ScreenshotStore::shared().list(), four);
    EXPECT_EQ(QFileInfo(four[0]).dir().entryList({"*.png"}, QDir::Files).size(), 4);

    // With five, Edit still opens, without the limit warning. An edit that
    // cannot be written keeps the original, listed where it was; one that
    // can replaces the picture.
    addCapture(Qt::gray);
    const QStringList five = ScreenshotStore::shared().list();
    ASSERT_EQ(five.size(), 5);
    preview = openEditor(0);
    ASSERT_TRUE(preview);
    EXPECT_EQ(visibleAlert(), nullptr);
    QSignalSpy notEdited(&ScreenshotStore::shared(), &ScreenshotStore::editNotSaved);
    preview->editorSaved(QImage());  // nothing to encode: the write fails
    EXPECT_TRUE(test::waitFor([&] { return notEdited.size() == 1; }));
    EXPECT_EQ(ScreenshotStore::shared().list(), five);
    EXPECT_EQ(pixels(QImage(five[0])), pixels(picture(Qt::blue)));
    ASSERT_EQ(shownPreview(), preview) << "the edit stays open to be saved again";
    preview->editorSaved(picture(Qt::darkRed));
    EXPECT_TRUE(test::waitFor([&] { return previewGone(); }));
    EXPECT_EQ(ScreenshotStore::shared().list(), five);
    EXPECT_EQ(pixels(QImage(five[0])), pixels(picture(Qt::darkRed)));
}

}  // namespace
