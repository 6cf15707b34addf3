#pragma once

#include "ui/editor/text/TextBoxGeometry.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QWidget>

namespace brelvo {

// The editor's text tool: one line of text over the fitted picture, in a
// faint framed field that a drag on the text moves and a drag on the round
// handle at its lower right corner turns and scales about its centre. A tap
// on the text (a touch that never moved) starts typing; Return ends it.
// Showing the box starts again from the "text" placeholder.
class BrelvoTextView : public QWidget {
public:
    explicit BrelvoTextView(QWidget* parent = nullptr);

    QString text() const { return text_; }
    void setTextColor(const QColor& colour);
    QColor textColor() const { return colour_; }
    const TextBoxGeometry& geometryState() const { return geometry_; }
    // Whether typed keys go to the text.
    bool isTyping() const { return typing_; }

    // The text alone, without frame, background or handle, on a transparent
    // image of layerPixels at the device pixel ratio dpr. origin is the
    // image's top left corner in the box's coordinates, so that the text
    // lands where it shows when the box and the drawing layer do not share a
    // corner. Empty text gives a transparent image.
    QImage render(QSize layerPixels, qreal dpr, QPointF origin = {}) const;

    void setVisible(bool visible) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void reset();
    void setText(const QString& text);
    void endTyping();
    // The field's text (and, unless only the text is wanted, its frame and
    // background) in the box's coordinates.
    void paintField(QPainter& painter, bool textOnly) const;

    TextBoxGeometry geometry_;
    QString text_;
    QColor colour_ = Qt::red;
    QFont font_;
    bool typing_ = false;
};

}  // namespace brelvo
