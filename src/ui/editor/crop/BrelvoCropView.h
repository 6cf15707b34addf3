#pragma once

#include "ui/editor/crop/CropGeometry.h"

#include <QWidget>

namespace brelvo {

// The crop frame over the fitted picture in crop mode: everything outside the
// crop rectangle is dimmed, a three-by-three guide grid lies inside it, and a
// round grip at each corner resizes it (a touch elsewhere inside moves it).
// The rectangle is in the coordinates of the fitted picture and follows its
// size. The view itself reaches a grip's width beyond the picture on every
// side, so that a grip on the picture's edge shows and takes touches whole:
// place it with setPictureGeometry().
class BrelvoCropView : public QWidget {
public:
    // How far the view reaches beyond the picture: a grip and its rim.
    static constexpr int kGripMargin = 17;

    explicit BrelvoCropView(QWidget* parent = nullptr);

    // The fitted picture's rectangle in the parent's coordinates.
    void setPictureGeometry(const QRect& picture);
    QRect pictureGeometry() const;

    QRectF cropRect() const { return geometry_.cropRect(); }
    void setCropRect(const QRectF& rect);
    CropGeometry::Mode currentMode() const { return geometry_.mode(); }

    // Showing the view starts again from a 150 × 100 rectangle in its middle.
    void setVisible(bool visible) override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPointF toPicture(const QPointF& inView) const;

    CropGeometry geometry_;
};

}  // namespace brelvo
