#pragma once

#include <QImage>
#include <QWidget>

namespace brelvo {

// Turns what is on the screen at this moment into one image: the window
// capture (every window of the application drawn into one bitmap at the
// screen's scale), or the read-back of the GL framebuffer current on the
// calling thread when that holds a picture. A stateless service object that
// is never shown. Everything but shared() runs on the GUI thread.
//
// GL content inside widgets (QOpenGLWidget) is in the window capture anyway:
// such a widget renders into a framebuffer object that keeps its last frame,
// and drawing the widget draws that frame. The read-back is for hosts that
// render with a context of their own.
class ScreenshotMakerBrelvo : public QWidget {
public:
    // Created on first call, once, on the GUI thread (a call from another
    // thread waits for it there).
    static ScreenshotMakerBrelvo& shared();

    // Both captures are always made; the GL one is returned unless it is
    // missing or blank. The view gives the GL capture its scale.
    QImage screenshotMaking(QWidget* view);

    // Every visible window, back to front, at its place on the screen, in an
    // image of the screen's size at the screen's scale. Null without a screen.
    QImage screenshotForNonOpenGL() const;

    // The pixels of the framebuffer current on the calling thread's GL
    // context, upright, at the view's scale (its device pixel ratio); null
    // without a current context or a bound renderbuffer with a size. The
    // host's GL state is left as it was.
    QImage makeOpenGLScreenshot(QWidget* view) const;
    static QImage makeOpenGLScreenshot(qreal scale);

    // The byte length of the image's PNG encoding, measured through a file
    // "temp.png" in the temporary folder; 0 for a null image or when the file
    // cannot be written, measured or removed.
    static qint64 checkImageSize(const QImage& image);

    // False (the GL capture counts as empty) for the byte counts of blank
    // read-backs: 0, 2835, 3327 and 4556.
    static bool emptyOpenGLScreenshotCheck(qint64 size);

    // True when every pixel of the image is the same: a framebuffer nothing
    // was drawn into. The byte counts above belong to one particular PNG
    // encoder; this test does not depend on the encoder.
    static bool isBlank(const QImage& image);

private:
    ScreenshotMakerBrelvo() = default;
};

}  // namespace brelvo
