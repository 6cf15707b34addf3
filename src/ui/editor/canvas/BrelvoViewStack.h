#pragma once

#include <QImage>
#include <QSizeF>

#include <memory>

namespace brelvo {

// One entry of the edit history: an image, and the entry below it.
class BrelvoViewStackNode {
public:
    explicit BrelvoViewStackNode(QImage view, std::unique_ptr<BrelvoViewStackNode> next = nullptr)
        : view_(std::move(view)), next_(std::move(next)) {}
    ~BrelvoViewStackNode();

    const QImage& view() const { return view_; }
    void setView(const QImage& view) { view_ = view; }
    BrelvoViewStackNode* next() const { return next_.get(); }
    void setNext(std::unique_ptr<BrelvoViewStackNode> next) { next_ = std::move(next); }
    std::unique_ptr<BrelvoViewStackNode> takeNext() { return std::move(next_); }

private:
    QImage view_;
    std::unique_ptr<BrelvoViewStackNode> next_;
};

// A stack of whole images, top first. Images are implicitly shared, so an
// entry that is also shown or also on another stack costs its pixels once.
class BrelvoViewStack {
public:
    BrelvoViewStack() = default;
    BrelvoViewStack(const BrelvoViewStack&) = delete;
    BrelvoViewStack& operator=(const BrelvoViewStack&) = delete;

    // A null image is pushed like any other.
    void pushView(const QImage& view);
    // The top image, unlinked; null (and nothing changes) when empty.
    QImage popView();
    bool isEmpty() const { return count_ < 1; }
    void clearStack();
    // The top image's size in points; empty when there is none.
    QSizeF topImageSize() const;

    // Every image from the bottom one up, each stretched over the top one's
    // rectangle, in a bitmap of the top one's size and pixel ratio. A stack
    // of one gives its image as it is; null when empty.
    QImage mergeImages() const;

    // Folds the two bottom entries into one, as the merge would paint them
    // under the rest, so the picture stays and one step of undo goes.
    // Nothing with fewer than two entries.
    void mergeBottomTwo();

    // The pixel bytes of the images held, each shared image once.
    qint64 bytes() const;

    int count() const { return count_; }
    void setCount(int count) { count_ = count; }
    BrelvoViewStackNode* top() const { return top_.get(); }
    void setTop(std::unique_ptr<BrelvoViewStackNode> top) { top_ = std::move(top); }

private:
    std::unique_ptr<BrelvoViewStackNode> top_;
    int count_ = 0;
};

// The pixel bytes of the images of both stacks, each shared image once.
qint64 historyBytes(const BrelvoViewStack& a, const BrelvoViewStack& b);

}  // namespace brelvo
