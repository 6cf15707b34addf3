// The GL read-back on a real GL context (Mesa under Xvfb: the offscreen
// platform has no GL): the picture comes out upright at the view's scale, a
// blank framebuffer gives way to the window capture, and the host's GL state
// is left as it was.
#include "platform/Screen.h"
#include "ui/editor/ScreenshotMakerBrelvo.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

using brelvo::ScreenshotMakerBrelvo;

namespace {

constexpr GLenum kPixelPackBuffer = 0x88EB;
constexpr GLenum kPixelPackBufferBinding = 0x88ED;

// A current context with a framebuffer whose colour is a renderbuffer of the
// given size: the upper half red, the lower half blue, one green pixel in the
// top-left corner.
class GlCapture : public ::testing::Test {
protected:
    void SetUp() override {
        surface_.create();
        ASSERT_TRUE(context_.create()) << "no GL here";
        ASSERT_TRUE(context_.makeCurrent(&surface_));
        gl_ = context_.extraFunctions();
    }
    void TearDown() override {
        if (framebuffer_) {
            gl_->glDeleteFramebuffers(1, &framebuffer_);
            gl_->glDeleteRenderbuffers(1, &renderbuffer_);
        }
        context_.doneCurrent();
    }

    void makeFramebuffer(int width, int height, bool blank = false) {
        gl_->glGenRenderbuffers(1, &renderbuffer_);
        gl_->glBindRenderbuffer(GL_RENDERBUFFER, renderbuffer_);
        gl_->glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
        gl_->glGenFramebuffers(1, &framebuffer_);
        gl_->glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
        gl_->glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, renderbuffer_);
        ASSERT_EQ(gl_->glCheckFramebufferStatus(GL_FRAMEBUFFER), GLenum(GL_FRAMEBUFFER_COMPLETE));
        gl_->glClearColor(0, 0, 0, 0);
        gl_->glClear(GL_COLOR_BUFFER_BIT);
        if (blank) return;
        gl_->glEnable(GL_SCISSOR_TEST);
        // GL's rows count from the bottom.
        fill(0, height / 2, width, height - height / 2, 1, 0, 0);
        fill(0, 0, width, height / 2, 0, 0, 1);
        fill(0, height - 1, 1, 1, 0, 1, 0);
        gl_->glDisable(GL_SCISSOR_TEST);
    }
    void fill(int x, int y, int w, int h, float r, float g, float b) {
        gl_->glScissor(x, y, w, h);
        gl_->glClearColor(r, g, b, 1);
        gl_->glClear(GL_COLOR_BUFFER_BIT);
    }

    QOffscreenSurface surface_;
    QOpenGLContext context_;
    QOpenGLExtraFunctions* gl_ = nullptr;
    GLuint framebuffer_ = 0, renderbuffer_ = 0;
};

}  // namespace

TEST_F(GlCapture, TheReadBackIsUprightAtTheViewsScaleInWholePointsAndNoneWithoutARenderbuffer) {
    EXPECT_TRUE(ScreenshotMakerBrelvo::makeOpenGLScreenshot(1.0).isNull());
    EXPECT_EQ(gl_->glGetError(), GLenum(GL_NO_ERROR)) << "asking left no error behind";

    makeFramebuffer(64, 48);
    const QImage shot = ScreenshotMakerBrelvo::makeOpenGLScreenshot(2.0);
    ASSERT_FALSE(shot.isNull());
    EXPECT_EQ(shot.devicePixelRatio(), 2.0);
    EXPECT_EQ(shot.size(), QSize(64, 48)) << "32 × 24 points at scale 2";
    EXPECT_EQ(shot.pixelColor(0, 0), QColor(Qt::green)) << "the framebuffer's top-left pixel";
    EXPECT_EQ(shot.pixelColor(10, 5), QColor(Qt::red)) << "the top half";
    EXPECT_EQ(shot.pixelColor(10, 40), QColor(Qt::blue)) << "the bottom half";
    EXPECT_EQ(gl_->glGetError(), GLenum(GL_NO_ERROR));

    gl_->glDeleteFramebuffers(1, &framebuffer_);
    gl_->glDeleteRenderbuffers(1, &renderbuffer_);
    makeFramebuffer(75, 49);
    const QImage odd = ScreenshotMakerBrelvo::makeOpenGLScreenshot(2.0);
    ASSERT_FALSE(odd.isNull());
    EXPECT_EQ(odd.size(), QSize(74, 48)) << "37 × 24 points";
    EXPECT_EQ(odd.pixelColor(10, 5), QColor(Qt::red));
    EXPECT_EQ(odd.pixelColor(10, 44), QColor(Qt::blue));
}

TEST_F(GlCapture, TheHostsPackStateIsLeftAsItWas) {
    makeFramebuffer(32, 32);
    // The host reads pixels into a buffer of its own, one byte aligned.
    GLuint buffer = 0;
    gl_->glGenBuffers(1, &buffer);
    gl_->glBindBuffer(kPixelPackBuffer, buffer);
    gl_->glBufferData(kPixelPackBuffer, 32 * 32 * 4, nullptr, GL_STREAM_READ);
    gl_->glPixelStorei(GL_PACK_ALIGNMENT, 1);

    const QImage shot = ScreenshotMakerBrelvo::makeOpenGLScreenshot(1.0);
    ASSERT_FALSE(shot.isNull());
    EXPECT_EQ(shot.pixelColor(5, 5), QColor(Qt::red)) << "read into our memory, not the host's buffer";
    GLint alignment = 0, bound = 0;
    gl_->glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    gl_->glGetIntegerv(kPixelPackBufferBinding, &bound);
    EXPECT_EQ(alignment, 1);
    EXPECT_EQ(GLuint(bound), buffer);
    EXPECT_EQ(gl_->glGetError(), GLenum(GL_NO_ERROR));
    gl_->glBindBuffer(kPixelPackBuffer, 0);
    gl_->glDeleteBuffers(1, &buffer);
}

TEST_F(GlCapture, APictureIsChosenOverTheWindowsAndABlankOneIsNot) {
    auto host = std::make_unique<QWidget>();
    host->resize(120, 90);
    host->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(host.get()));
    brelvo::screen::setWindow(host.get());
    ASSERT_TRUE(context_.makeCurrent(&surface_));  // showing the window may have changed the current context

    makeFramebuffer(64, 48);
    const QImage picture = ScreenshotMakerBrelvo::shared().screenshotMaking(host.get());
    ASSERT_EQ(host->devicePixelRatioF(), 1.0);
    EXPECT_EQ(picture.size(), QSize(64, 48)) << "the read-back";
    EXPECT_EQ(picture.pixelColor(0, 0), QColor(Qt::green));

    gl_->glDeleteFramebuffers(1, &framebuffer_);
    gl_->glDeleteRenderbuffers(1, &renderbuffer_);
    makeFramebuffer(64, 48, /*blank=*/true);
    const QImage windows = ScreenshotMakerBrelvo::shared().screenshotMaking(host.get());
    EXPECT_EQ(windows.size(), host->size() * host->devicePixelRatioF()) << "the window capture";
    brelvo::screen::setWindow(nullptr);
}
