#pragma once

#include <QImage>
#include <QString>

namespace brelvo {

// Pictures from the service (the tester's avatar and the like), cached as one
// file per URL in the caches folder, plus the avatar kept in the defaults
// store under "UserIcon". Fetches block the calling thread; every operation is
// safe on any thread.
class imageCAcheBrelvo {
public:
    static constexpr const char* kUserIconKey = "UserIcon";

    static imageCAcheBrelvo& shared();

    // The picture from its cache file, else fetched and, when it is an image,
    // written to the cache file as PNG. Null when there is no picture; then
    // nothing is written. A cache file that is not an image is replaced.
    QImage getImageByURL(const QString& url) const;

    // Fetches the picture and keeps its PNG under "UserIcon" (synchronised).
    // When the fetch gives no image the entry is removed, so that a tester
    // without a picture does not keep the previous one.
    QImage cacheImageWithURL(const QString& url) const;

    // The picture kept under "UserIcon", or null.
    QImage getImageFromUserDefaults() const;

    imageCAcheBrelvo(const imageCAcheBrelvo&) = delete;
    imageCAcheBrelvo& operator=(const imageCAcheBrelvo&) = delete;

private:
    imageCAcheBrelvo() = default;
};

}  // namespace brelvo
