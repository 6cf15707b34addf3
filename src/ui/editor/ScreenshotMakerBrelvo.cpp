#include "ui/editor/ScreenshotMakerBrelvo.h"

#include "platform/AppPaths.h"
#include "platform/Dispatch.h"
#include "platform/FileReplace.h"
#include "platform/PngEncoder.h"
#include "platform/Screen.h"
#include "platform/WindowLayer.h"

#include <QFile>
#include <QFileInfo>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QPainter>

#include <cmath>
#include <mutex>

namespace brelvo {

namespace {

constexpr GLenum kPixelPackBuffer = 0x88EB;
constexpr GLenum kPixelPackBufferBinding = 0x88ED;
constexpr GLenum kPackRowLength = 0x0D02;

// A window's top-left corner on the screen (the screen window's coordinates).
QPoint placeOnScreen(QWidget* window, QWidget* screenWindow) {
    if (window == screenWindow) return QPoint(0, 0);
    if (window->parentWidget() == screenWindow) return window->pos();  // a layer
    return screenWindow->mapFromGlobal(window->mapToGlobal(QPoint(0, 0)));
}

// The screen window holds the library's layers as child widgets; they are
// windows of their own in the list, so the screen window is drawn without them.
void drawWindow(QPainter& painter, QWidget* window, QWidget* screenWindow) {
    const QWidget::RenderFlags all = QWidget::DrawWindowBackground | QWidget::DrawChildren;
    if (window != screenWindow) {
        window->render(&painter, QPoint(), QRegion(), all);
        return;
    }
    window->render(&painter, QPoint(), QRegion(), QWidget::DrawWindowBackground);
    for (QObject* object : window->children()) {
        auto* child = qobject_cast<QWidget*>(object);
        if (!child || child->isWindow() || !child->isVisibleTo(window) || qobject_cast<WindowLayer*>(child)) continue;
        child->render(&painter, child->pos(), QRegion(), all);
    }
}

// Pack state the read-back changes, put back afterwards.
class PackState {
public:
    PackState(QOpenGLContext* context, QOpenGLFunctions* gl) : gl_(gl) {
        gl_->glGetIntegerv(GL_PACK_ALIGNMENT, &alignment_);
        // Pack buffers and row lengths exist from desktop GL 2.1 and GL ES 3 on.
        const QSurfaceFormat format = context->format();
        modern_ = context->isOpenGLES() ? format.majorVersion() >= 3
                                        : (format.majorVersion() > 2 || (format.majorVersion() == 2 && format.minorVersion() >= 1));
        if (modern_) {
            gl_->glGetIntegerv(kPixelPackBufferBinding, &packBuffer_);
            gl_->glGetIntegerv(kPackRowLength, &rowLength_);
            // With a pack buffer bound, the read would go into it instead of our memory.
            if (packBuffer_ != 0) gl_->glBindBuffer(kPixelPackBuffer, 0);
            if (rowLength_ != 0) gl_->glPixelStorei(kPackRowLength, 0);
        }
        gl_->glPixelStorei(GL_PACK_ALIGNMENT, 4);
    }
    ~PackState() {
        gl_->glPixelStorei(GL_PACK_ALIGNMENT, alignment_);
        if (modern_) {
            if (packBuffer_ != 0) gl_->glBindBuffer(kPixelPackBuffer, GLuint(packBuffer_));
            if (rowLength_ != 0) gl_->glPixelStorei(kPackRowLength, rowLength_);
        }
    }
    PackState(const PackState&) = delete;
    PackState& operator=(const PackState&) = delete;

private:
    QOpenGLFunctions* gl_;
    GLint alignment_ = 4;
    GLint packBuffer_ = 0;
    GLint rowLength_ = 0;
    bool modern_ = false;
};

}  // namespace

ScreenshotMakerBrelvo& ScreenshotMakerBrelvo::shared() {
    static ScreenshotMakerBrelvo* instance = nullptr;  // lives until the process ends
    static std::once_flag once;
    std::call_once(once, [] { dispatch::toMainAndWait([] { instance = new ScreenshotMakerBrelvo; }); });
    return *instance;
}

QImage ScreenshotMakerBrelvo::screenshotMaking(QWidget* view) {
    const QImage glImage = makeOpenGLScreenshot(view);
    const qint64 size = checkImageSize(glImage);
    const QImage windowImage = screenshotForNonOpenGL();
    return emptyOpenGLScreenshotCheck(size) && !isBlank(glImage) ? glImage : windowImage;
}

QImage ScreenshotMakerBrelvo::screenshotForNonOpenGL() const {
    QWidget* screenWindow = screen::window();
    const QSize bounds = screen::bounds();
    if (!screenWindow || bounds.isEmpty()) return QImage();
    // The screen window is already in the interface orientation: its bounds
    // are what the tester sees, upright, so no window is turned.
    const qreal scale = screen::scale();
    QImage canvas(QSize(qRound(bounds.width() * scale), qRound(bounds.height() * scale)),
                  QImage::Format_ARGB32_Premultiplied);
    canvas.setDevicePixelRatio(scale);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    for (QWidget* window : windows::all()) {
        // A hidden window shows nothing on the screen, so it draws nothing here.
        if (!window->isVisible()) continue;
        painter.save();
        painter.translate(placeOnScreen(window, screenWindow));
        drawWindow(painter, window, screenWindow);
        painter.restore();
    }
    painter.end();
    return canvas;
}

QImage ScreenshotMakerBrelvo::makeOpenGLScreenshot(QWidget* view) const {
    return makeOpenGLScreenshot(view ? view->devicePixelRatioF() : 1.0);
}

QImage ScreenshotMakerBrelvo::makeOpenGLScreenshot(qreal scale) {
    QOpenGLContext* context = QOpenGLContext::currentContext();
    if (!context || scale <= 0) return QImage();
    QOpenGLFunctions* gl = context->functions();
    // The size is the bound renderbuffer's; without one there is nothing to
    // read (and asking would leave an error in the host's GL state).
    GLint bound = 0;
    gl->glGetIntegerv(GL_RENDERBUFFER_BINDING, &bound);
    if (bound == 0) return QImage();
    GLint width = 0, height = 0;
    gl->glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_WIDTH, &width);
    gl->glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_HEIGHT, &height);
    if (width <= 0 || height <= 0) return QImage();

    QImage read(width, height, QImage::Format_RGBA8888_Premultiplied);  // rows of width × 4 bytes
    {
        PackState pack(context, gl);
        gl->glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, read.bits());
    }
    // The first row read is the framebuffer's bottom row.
    read = read.mirrored(false, true);

    // The point size is truncated to whole points, and the image holds that
    // many points at the scale.
    const QSize points(int(width / scale), int(height / scale));
    const QSize pixels(qRound(points.width() * scale), qRound(points.height() * scale));
    if (pixels.isEmpty()) return QImage();
    if (pixels != read.size()) {
        QImage fitted(pixels, QImage::Format_RGBA8888_Premultiplied);
        fitted.fill(Qt::transparent);
        QPainter painter(&fitted);
        painter.setCompositionMode(QPainter::CompositionMode_Source);  // alpha copied, not blended
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRect(QPoint(0, 0), pixels), read);
        painter.end();
        read = fitted;
    }
    read.setDevicePixelRatio(scale);
    return read;
}

qint64 ScreenshotMakerBrelvo::checkImageSize(const QImage& image) {
    const QByteArray bytes = png::encode(image);
    if (bytes.isEmpty()) return 0;
    const QString path = paths::temporary() + QStringLiteral("/temp.png");
    if (!files::replaceContents(path, bytes)) return 0;
    const QFileInfo info(path);
    const qint64 size = info.exists() ? info.size() : 0;
    if (!QFile::remove(path)) return 0;
    return size;
}

bool ScreenshotMakerBrelvo::emptyOpenGLScreenshotCheck(qint64 size) {
    return size != 0 && size != 2835 && size != 3327 && size != 4556;
}

bool ScreenshotMakerBrelvo::isBlank(const QImage& image) {
    if (image.isNull()) return true;
    const QImage argb = image.format() == QImage::Format_ARGB32_Premultiplied || image.format() == QImage::Format_RGBA8888_Premultiplied
                            ? image
                            : image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const auto first = *reinterpret_cast<const quint32*>(argb.constScanLine(0));
    for (int y = 0; y < argb.height(); ++y) {
        const auto* row = reinterpret_cast<const quint32*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x)
            if (row[x] != first) return false;
    }
    return true;
}

}  // namespace brelvo
