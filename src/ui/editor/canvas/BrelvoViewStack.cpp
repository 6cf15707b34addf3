#include "ui/editor/canvas/BrelvoViewStack.h"

#include "ui/editor/tools/Bitmap.h"

#include <QPainter>

#include <set>
#include <vector>

namespace brelvo {

namespace {

// The images, bottom first, painted in turn over the last one's rectangle.
QImage paintedOver(const std::vector<QImage>& bottomFirst) {
    const QImage& top = bottomFirst.back();
    if (bottomFirst.size() == 1 || top.isNull()) return top;
    const QImage& bottom = bottomFirst.front();
    // Painting an image of the bitmap's own size into a transparent bitmap
    // gives that image back; starting from it saves a pass over the pixels.
    const bool fromBottom = bottom.size() == top.size() && bottom.devicePixelRatio() == top.devicePixelRatio();
    QImage result = fromBottom ? bottom.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                               : bitmap::blank(bitmap::pointSize(top), top.devicePixelRatio());
    if (result.isNull()) return {};
    QPainter painter(&result);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF area(QPointF(0, 0), bitmap::pointSize(top));
    for (size_t i = fromBottom ? 1 : 0; i < bottomFirst.size(); ++i)
        if (!bottomFirst[i].isNull()) painter.drawImage(area, bottomFirst[i]);
    return result;
}

void collect(const BrelvoViewStack& stack, std::set<qint64>& seen, qint64& bytes) {
    for (const BrelvoViewStackNode* n = stack.top(); n; n = n->next())
        if (!n->view().isNull() && seen.insert(n->view().cacheKey()).second) bytes += n->view().sizeInBytes();
}

}  // namespace

BrelvoViewStackNode::~BrelvoViewStackNode() {
    // Unlinks the chain one node at a time: a long history must not recurse.
    std::unique_ptr<BrelvoViewStackNode> next = std::move(next_);
    while (next) next = next->takeNext();
}

void BrelvoViewStack::pushView(const QImage& view) {
    top_ = std::make_unique<BrelvoViewStackNode>(view, std::move(top_));
    ++count_;
}

QImage BrelvoViewStack::popView() {
    if (!top_) return {};
    QImage view = top_->view();
    top_ = top_->takeNext();
    --count_;
    return view;
}

void BrelvoViewStack::clearStack() {
    top_.reset();
    count_ = 0;
}

QSizeF BrelvoViewStack::topImageSize() const { return top_ ? bitmap::pointSize(top_->view()) : QSizeF(); }

QImage BrelvoViewStack::mergeImages() const {
    std::vector<QImage> images;
    for (const BrelvoViewStackNode* n = top_.get(); n; n = n->next()) images.insert(images.begin(), n->view());
    return images.empty() ? QImage() : paintedOver(images);
}

void BrelvoViewStack::mergeBottomTwo() {
    if (count_ < 2) return;
    BrelvoViewStackNode* upper = top_.get();
    while (upper->next()->next()) upper = upper->next();
    const QImage merged = paintedOver({upper->next()->view(), upper->view()});
    if (merged.isNull()) return;
    upper->setView(merged);
    upper->setNext(nullptr);
    --count_;
}

qint64 BrelvoViewStack::bytes() const {
    std::set<qint64> seen;
    qint64 total = 0;
    collect(*this, seen, total);
    return total;
}

qint64 historyBytes(const BrelvoViewStack& a, const BrelvoViewStack& b) {
    std::set<qint64> seen;
    qint64 total = 0;
    collect(a, seen, total);
    collect(b, seen, total);
    return total;
}

}  // namespace brelvo
