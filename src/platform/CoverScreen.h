#pragma once

#include <QWidget>

namespace brelvo {

// A screen presented over a view: it covers the view and follows its size,
// slides up from the view's bottom edge when presented, and slides down and
// deletes itself when it leaves.
class CoverScreen : public QWidget {
    Q_OBJECT
public:
    static constexpr int kAnimationMs = 300;

    // Becomes the view's child, raised over everything in it; the view owns
    // it from then on.
    void presentOver(QWidget* view, bool animated = true);
    // Slides away (at once when not animated or not presented), then runs
    // left() and deletes itself. Later calls do nothing.
    void leave(bool animated = true);
    bool isLeaving() const { return leaving_; }

protected:
    explicit CoverScreen(QWidget* parent = nullptr);
    // Runs once the screen is out of sight, before it is deleted.
    virtual void left() {}
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void finishLeaving();

    bool leaving_ = false;
};

}  // namespace brelvo
