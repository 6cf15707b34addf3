#pragma once

#include <QAbstractButton>
#include <QImage>

namespace brelvo {

// A button that shows one picture filling its rectangle (dimmed while held
// down). Optionally draggable: a press that moves reports dragged() for every
// move and is then not a click, as a tap on a touch screen is not a drag.
class ImageButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit ImageButton(QWidget* parent = nullptr);

    void setImage(const QImage& image);
    QImage image() const { return image_; }
    void setDraggable(bool draggable) { draggable_ = draggable; }

    QSize sizeHint() const override;

signals:
    // The pointer's position in the button's own coordinates.
    void dragged(const QPointF& position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QImage image_;
    bool draggable_ = false;
    bool dragging_ = false;
    QPointF pressedAt_;
};

}  // namespace brelvo
