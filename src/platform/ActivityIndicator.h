#pragma once

#include <QColor>
#include <QTimer>
#include <QWidget>

namespace brelvo {

// A spinning activity indicator: twelve spokes whose brightness walks round.
// The large style is 37 × 37, the small 20 × 20.
class ActivityIndicator : public QWidget {
    Q_OBJECT
public:
    enum Style { LargeWhite = 0, White = 1, Gray = 2 };
    explicit ActivityIndicator(Style style, QWidget* parent = nullptr);

    void startAnimating();
    void stopAnimating();
    bool isAnimating() const { return timer_.isActive(); }
    void setColor(const QColor& color);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Style style_;
    QColor color_;
    QTimer timer_;
    int step_ = 0;
};

}  // namespace brelvo
