#include "ui/images/Brel_ImageCache.h"

#include "platform/ActivityIndicator.h"
#include "platform/Dispatch.h"
#include "platform/HttpGet.h"
#include "platform/Log.h"
#include "ui/images/ImageCacheFiles.h"

#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPointer>

namespace brelvo {
namespace {

void show(QLabel* view, const QImage& image) {
    view->setPixmap(QPixmap::fromImage(image));
}

}  // namespace

Brel_ImageCache& Brel_ImageCache::shared() {
    static Brel_ImageCache* cache = new Brel_ImageCache;  // lives until the process ends
    return *cache;
}

void Brel_ImageCache::setImageByURL(const QString& url, QLabel* view) {
    if (!dispatch::isMainThread()) {
        QPointer<QLabel> guarded(view);
        dispatch::toMain([this, url, guarded] {
            if (guarded) setImageByURL(url, guarded);
        });
        return;
    }
    const QString path = imagecache::filePathForURL(url);
    QFile file(path);
    if (file.exists()) {
        QImage cached;
        if (file.open(QIODevice::ReadOnly)) cached = QImage::fromData(file.readAll());
        if (!cached.isNull()) {
            if (view) show(view, cached);
            return;
        }
        // A damaged file would otherwise hide the picture for good.
        qCWarning(lcBrelvo) << "the cached picture" << path << "is unreadable; fetching it again";
    }
    downloadImageInBackground(url, view, path);
}

void Brel_ImageCache::downloadImageInBackground(const QString& url, QLabel* view, const QString& cacheFile) {
    if (url.isEmpty()) return;
    QPointer<QLabel> guarded(view);
    dispatch::toGlobal([this, url, guarded, cacheFile] {
        QImage image;
        if (const std::optional<QByteArray> bytes = http::get(url)) {
            image = QImage::fromData(*bytes);
            if (image.isNull()) {
                // Kept out of the cache: the file would stand for the picture from now on.
                qCWarning(lcBrelvo) << "the answer from" << url.left(200) << "is not an image; not cached";
            } else if (!imagecache::writeAtomically(cacheFile, *bytes)) {
                image = QImage();
            }
        }
        dispatch::toMain([this, guarded, image] {
            if (!guarded) return;  // the view went away while the picture loaded
            removeAIVFrom(guarded);
            if (!image.isNull()) show(guarded, image);
        });
    });
}

void Brel_ImageCache::applyAIVTo(QWidget* view) {
    QPointer<QWidget> guarded(view);
    dispatch::toMain([this, guarded] {
        if (!guarded || !toShowActivityIndicator()) return;
        const int style = aivStyle();
        const auto indicatorStyle = style >= ActivityIndicator::LargeWhite && style <= ActivityIndicator::Gray
                                        ? static_cast<ActivityIndicator::Style>(style)
                                        : ActivityIndicator::White;
        auto* indicator = new ActivityIndicator(indicatorStyle, guarded);
        indicator->startAnimating();
        indicator->move(guarded->width() / 2 - indicator->width() / 2, guarded->height() / 2 - indicator->height() / 2);
        indicator->raise();
    });
}

void Brel_ImageCache::removeAIVFrom(QWidget* view) {
    if (!view) return;
    const QObjectList children = view->children();  // a copy: deleting changes the list
    for (QObject* child : children) {
        if (auto* indicator = qobject_cast<ActivityIndicator*>(child)) {
            delete indicator;
        } else if (auto* widget = qobject_cast<QWidget*>(child)) {
            removeAIVFrom(widget);
        }
    }
}

}  // namespace brelvo
