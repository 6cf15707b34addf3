#pragma once

#include "platform/ImageButton.h"
#include "platform/WindowLayer.h"

#include <QPointer>
#include <QVariant>

namespace brelvo {

// The library's overlay window (tag 777): it holds the menu panel and the two
// floating buttons, the slider that opens and closes the menu and the
// screenshot button below it. The buttons hang just beyond the window's right
// edge, so that with the window moved one screen width to the left (menu
// closed) they show at the screen's left edge. The window takes every point
// of its frame and of its visible buttons; all else reaches the host.
class BrelvoWindow : public WindowLayer {
    Q_OBJECT
public:
    static constexpr int kTag = 777;

    struct Geometry {
        QSize slider;
        QSize screenshotButton;
        qreal startOffset;     // for the starting position
        qreal lowestPosition;  // lowest position allowed while dragging
        qreal resetPosition;   // position set when below it
        qreal sliderCenter;    // slider centre relative to the position
        qreal screenshotCenter;
    };
    static Geometry geometry(bool tablet);

    explicit BrelvoWindow(const QRect& frame, QWidget* screenWindow = nullptr);
    ~BrelvoWindow() override;

    ImageButton* brelvoSlider() const { return slider_; }
    ImageButton* brelvoMakeScreenshot() const { return screenshot_; }
    qreal yPositionSlider() const { return yPosition_; }
    bool isOpen() const { return isOpen_; }

    // Button modes: 0 loading, 1 active, 2 and 3 inactive; anything but a
    // number changes nothing.
    void setupMainButtonByMode(const QVariant& mode);
    void bringSliderToFront();
    void bringSliderToBack();

    void sliderPressed();
    void makeScreenshotPressed();
    // A drag inside the slider; the position is in the slider's coordinates.
    void wasDragged(const QPointF& position);

    QRegion hitRegion() const override;

private:
    void setupInterface();
    void applyMode(int mode);
    void removeSpinner();

    Geometry geometry_;
    ImageButton* slider_ = nullptr;
    ImageButton* screenshot_ = nullptr;
    qreal yPosition_ = 0;
    bool isOpen_ = false;
};

}  // namespace brelvo
