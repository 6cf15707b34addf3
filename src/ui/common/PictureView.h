#pragma once

#include <QImage>
#include <QWidget>

#include <functional>

namespace brelvo {

// A picture drawn as large as its rectangle allows, keeping its proportions
// and centred in it. Touches pass through to what lies below, and a host's
// application-wide style sheet paints no box behind it.
//
// A round view (the tester's picture) is cut to a disc that the picture fills,
// and shows its placeholder (else a pale disc) while it has no picture.
class PictureView : public QWidget {
    Q_OBJECT
public:
    explicit PictureView(QWidget* parent, bool round = false);

    void setImage(const QImage& image);
    // The picture, made when the view first paints: one that never shows is
    // never made.
    void setImageSource(std::function<QImage()> source);
    const QImage& image() const;
    // Drawn in place of a missing picture; image() stays empty.
    void setPlaceholder(const QImage& placeholder);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    mutable QImage image_;
    mutable std::function<QImage()> source_;
    QImage placeholder_;
    bool round_ = false;
};

}  // namespace brelvo
