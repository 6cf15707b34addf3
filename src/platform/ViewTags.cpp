#include "platform/ViewTags.h"

#include <QWidget>

namespace brelvo::tags {

void setTag(QWidget* view, int tag) {
    if (view) view->setProperty("tag", tag);
}

int tag(const QWidget* view) {
    return view ? view->property("tag").toInt() : 0;
}

QWidget* viewWithTag(QWidget* root, int wanted) {
    if (!root) return nullptr;
    if (tag(root) == wanted) return root;
    for (QObject* child : root->children()) {
        if (auto* widget = qobject_cast<QWidget*>(child))
            if (QWidget* found = viewWithTag(widget, wanted)) return found;
    }
    return nullptr;
}

}  // namespace brelvo::tags
