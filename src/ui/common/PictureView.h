#pragma once

#include <QImage>
#include <QWidget>

namespace brelvo {

// A picture drawn as large as its rectangle allows, keeping its proportions
// and centred in it. Touches pass through to what lies below, and a host's
// application-wide style sheet paints no box behind it.
//
// A round view (the tester's picture) is cut to a disc that the picture fills,
// and shows a pale disc while it has no picture.
class PictureView : public QWidget {
    Q_OBJECT
public:
    explicit PictureView(QWidget* parent, bool round = false);

    void setImage(const QImage& image);
    const QImage& image() const { return image_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage image_;
    bool round_ = false;
};

}  // namespace brelvo
