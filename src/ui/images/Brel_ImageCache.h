#pragma once

#include <QString>

#include <atomic>

class QLabel;
class QWidget;

namespace brelvo {

// Fills image views (a QLabel showing a pixmap) with pictures from the
// service, through the same cache files as imageCAcheBrelvo.
class Brel_ImageCache {
public:
    static Brel_ImageCache& shared();

    // The style of the activity indicator applyAIVTo() adds (an
    // ActivityIndicator::Style value); 1 at first.
    int aivStyle() const { return aivStyle_; }
    void setAivStyle(int style) { aivStyle_ = style; }
    // Whether applyAIVTo() adds an indicator at all; true at first.
    bool toShowActivityIndicator() const { return toShowActivityIndicator_; }
    void setToShowActivityIndicator(bool show) { toShowActivityIndicator_ = show; }

    // Shows the cached picture at once, or starts a download. Called off the
    // GUI thread, it continues there.
    void setImageByURL(const QString& url, QLabel* view);

    // For a non-empty URL: fetches it on the global pool, then on the GUI
    // thread removes the view's activity indicators and, when the answer is
    // an image and was written to cacheFile, shows it. A view deleted in the
    // meantime is left alone; a failed download changes nothing but the
    // indicators.
    void downloadImageInBackground(const QString& url, QLabel* view, const QString& cacheFile);

    // Adds a started indicator centred in the view (queued on the GUI thread).
    void applyAIVTo(QWidget* view);
    // Removes every activity indicator in the view's subtree (GUI thread).
    void removeAIVFrom(QWidget* view);

    Brel_ImageCache(const Brel_ImageCache&) = delete;
    Brel_ImageCache& operator=(const Brel_ImageCache&) = delete;

private:
    Brel_ImageCache() = default;
    std::atomic<int> aivStyle_{1};
    std::atomic<bool> toShowActivityIndicator_{true};
};

}  // namespace brelvo
