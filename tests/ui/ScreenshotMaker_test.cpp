// The window capture of real widgets (offscreen; CTest also runs this program
// at scale factors 1.5 and 2), the PNG size measurement and the choice
// between the two captures when there is no GL context.
#include "platform/AppPaths.h"
#include "platform/PngEncoder.h"
#include "platform/Screen.h"
#include "platform/WindowLayer.h"
#include "support/TestSupport.h"
#include "ui/editor/ScreenshotMakerBrelvo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

using namespace brelvo;

namespace {

QWidget* filled(QWidget* parent, const QRect& geometry, const QColor& colour) {
    auto* w = new QWidget(parent);
    w->setGeometry(geometry);
    w->setAutoFillBackground(true);
    QPalette p = w->palette();
    p.setColor(QPalette::Window, colour);
    w->setPalette(p);
    w->show();
    return w;
}

// A host window in red with a blue child, and two library windows: a visible
// one with a green square, and a hidden one in yellow over everything.
class ScreenshotMaker : public ::testing::Test {
protected:
    void SetUp() override {
        host.reset(filled(nullptr, QRect(0, 0, 200, 300), Qt::red));
        filled(host.get(), QRect(20, 30, 50, 40), Qt::blue);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(host.get()));
        screen::setWindow(host.get());

        layer = std::make_unique<WindowLayer>(QRect(100, 200, 60, 60), host.get());
        filled(layer.get(), QRect(0, 0, 60, 60), Qt::green);
        layer->show();
        hidden = std::make_unique<WindowLayer>(QRect(0, 0, 200, 300), host.get());
        hidden->setWindowLevel(WindowLayer::kAlertLevel);
        filled(hidden.get(), QRect(0, 0, 200, 300), Qt::yellow);
        hidden->hide();
    }
    void TearDown() override {
        hidden.reset();
        layer.reset();
        screen::setWindow(nullptr);
    }

    // The colour at a point given in points.
    static QColor at(const QImage& image, int x, int y) {
        const qreal s = image.devicePixelRatio();
        return image.pixelColor(int(x * s + s / 2), int(y * s + s / 2));
    }

    std::unique_ptr<QWidget> host;
    std::unique_ptr<WindowLayer> layer;
    std::unique_ptr<WindowLayer> hidden;
};

}  // namespace

TEST_F(ScreenshotMaker, TheWindowCaptureDrawsEveryVisibleWindowInPlaceAndIsChosenWithoutAGlContext) {
    const QImage shot = ScreenshotMakerBrelvo::shared().screenshotForNonOpenGL();
    const qreal scale = host->devicePixelRatioF();
    ASSERT_FALSE(shot.isNull());
    EXPECT_EQ(shot.devicePixelRatio(), scale);
    EXPECT_EQ(shot.size(), QSize(qRound(200 * scale), qRound(300 * scale)));

    EXPECT_EQ(at(shot, 5, 5), QColor(Qt::red));
    EXPECT_EQ(at(shot, 25, 35), QColor(Qt::blue)) << "the host's own child";
    EXPECT_EQ(at(shot, 69, 69), QColor(Qt::blue));
    EXPECT_EQ(at(shot, 70, 70), QColor(Qt::red));
    EXPECT_EQ(at(shot, 100, 200), QColor(Qt::green)) << "a library window at its frame";
    EXPECT_EQ(at(shot, 159, 259), QColor(Qt::green));
    EXPECT_EQ(at(shot, 99, 199), QColor(Qt::red));
    EXPECT_EQ(at(shot, 199, 299), QColor(Qt::red)) << "the hidden window draws nothing";

    // The library window moves: the capture follows it.
    layer->setFrame(QRect(0, 0, 60, 60));
    const QImage moved = ScreenshotMakerBrelvo::shared().screenshotForNonOpenGL();
    EXPECT_EQ(at(moved, 5, 5), QColor(Qt::green));
    EXPECT_EQ(at(moved, 100, 200), QColor(Qt::red));

    EXPECT_TRUE(ScreenshotMakerBrelvo::shared().makeOpenGLScreenshot(host.get()).isNull());
    EXPECT_EQ(ScreenshotMakerBrelvo::shared().screenshotMaking(host.get()),
              ScreenshotMakerBrelvo::shared().screenshotForNonOpenGL());
}

TEST(ScreenshotChoice, BlankReadBacksCountAsEmptyAndThePngSizeIsTheEncodedLengthWithNoFileLeft) {
    for (qint64 empty : {0, 2835, 3327, 4556}) EXPECT_FALSE(ScreenshotMakerBrelvo::emptyOpenGLScreenshotCheck(empty)) << empty;
    for (qint64 usable : {-1, 1, 2834, 2836, 3326, 4557, 1 << 20})
        EXPECT_TRUE(ScreenshotMakerBrelvo::emptyOpenGLScreenshotCheck(usable)) << usable;

    QImage plain(40, 30, QImage::Format_RGBA8888_Premultiplied);
    plain.fill(Qt::transparent);
    EXPECT_TRUE(ScreenshotMakerBrelvo::isBlank(plain));
    plain.fill(QColor(10, 20, 30));
    EXPECT_TRUE(ScreenshotMakerBrelvo::isBlank(plain));
    plain.setPixelColor(39, 29, QColor(10, 20, 31));
    EXPECT_FALSE(ScreenshotMakerBrelvo::isBlank(plain)) << "one pixel drawn is a picture";
    EXPECT_TRUE(ScreenshotMakerBrelvo::isBlank(QImage()));

    QImage image(64, 48, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) image.setPixelColor(x, y, QColor(x * 4, y * 5, (x + y) % 256, 128 + x));
    const QByteArray png = png::encode(image);
    ASSERT_FALSE(png.isEmpty());
    // The encoding is lossless: straight alpha back to the same pixels.
    EXPECT_EQ(QImage::fromData(png, "PNG").convertToFormat(QImage::Format_ARGB32),
              image.convertToFormat(QImage::Format_ARGB32));

    EXPECT_EQ(ScreenshotMakerBrelvo::checkImageSize(image), png.size());
    const QString temp = paths::temporary() + "/temp.png";
    EXPECT_FALSE(QFile::exists(temp));
    EXPECT_EQ(ScreenshotMakerBrelvo::checkImageSize(QImage()), 0);

    // A folder where the file should go: it cannot be written, so the size is 0.
    ASSERT_TRUE(QDir().mkpath(temp));
    EXPECT_EQ(ScreenshotMakerBrelvo::checkImageSize(image), 0);
    EXPECT_TRUE(QFileInfo(temp).isDir()) << "the folder in the way is left alone";
    QDir(temp).removeRecursively();
}

