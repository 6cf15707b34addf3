#include "platform/Autoresizing.h"

#include <QEvent>
#include <QPointer>
#include <QResizeEvent>
#include <QWidget>

#include <array>

namespace brelvo::autoresizing {
namespace {

constexpr const char* kMaskProperty = "brelvoAutoresizingMask";
constexpr const char* kWatchedProperty = "brelvoAutoresizingWatched";

// Shares delta among the flexible parts of one axis; returns the new
// (start, length) of the view on that axis.
std::pair<int, int> resizeAxis(int start, int length, int parentLength, int delta, bool flexStart, bool flexLength,
                               bool flexEnd) {
    const std::array<int, 3> parts{start, length, parentLength - start - length};
    const std::array<bool, 3> flexible{flexStart, flexLength, flexEnd};
    int total = 0, count = 0;
    for (int i = 0; i < 3; ++i)
        if (flexible[i]) {
            total += qMax(0, parts[i]);
            ++count;
        }
    if (count == 0) return {start, length};
    std::array<double, 3> share{0, 0, 0};
    for (int i = 0; i < 3; ++i)
        if (flexible[i]) share[i] = total > 0 ? double(qMax(0, parts[i])) / total * delta : double(delta) / count;
    const int newStart = start + qRound(share[0]);
    const int newLength = qMax(0, length + qRound(share[1]));
    return {newStart, newLength};
}

class ParentWatcher : public QObject {
public:
    explicit ParentWatcher(QWidget* parent) : QObject(parent), last_(parent->size()) {
        parent->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Resize) return false;
        auto* parent = static_cast<QWidget*>(watched);
        // A hidden widget gets one resize event when it is shown, however often
        // it was resized before; the size seen last tells the whole change.
        const QSize old = last_;
        last_ = static_cast<QResizeEvent*>(event)->size();
        const int dw = last_.width() - old.width();
        const int dh = last_.height() - old.height();
        if (dw == 0 && dh == 0) return false;
        for (QObject* child : parent->children()) {
            auto* view = qobject_cast<QWidget*>(child);
            if (!view) continue;
            const int m = mask(view);
            if (m == None) continue;
            const QRect r = view->geometry();
            const auto [x, w] = resizeAxis(r.x(), r.width(), old.width(), dw, m & FlexibleLeftMargin,
                                           m & FlexibleWidth, m & FlexibleRightMargin);
            const auto [y, h] = resizeAxis(r.y(), r.height(), old.height(), dh, m & FlexibleTopMargin,
                                           m & FlexibleHeight, m & FlexibleBottomMargin);
            view->setGeometry(x, y, w, h);
        }
        return false;
    }

private:
    QSize last_;
};

}  // namespace

void setMask(QWidget* view, int m) {
    if (!view) return;
    view->setProperty(kMaskProperty, m);
    QWidget* parent = view->parentWidget();
    if (parent && !parent->property(kWatchedProperty).toBool()) {
        parent->setProperty(kWatchedProperty, true);
        new ParentWatcher(parent);
    }
}

int mask(const QWidget* view) {
    return view ? view->property(kMaskProperty).toInt() : None;
}

}  // namespace brelvo::autoresizing
