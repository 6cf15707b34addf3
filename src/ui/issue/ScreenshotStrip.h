#pragma once

#include <QStringList>
#include <QWidget>

class QHBoxLayout;
class QLabel;
class QPushButton;
class QScrollArea;

namespace brelvo {

// The issue form's row of screenshot thumbnails, each with its position
// ("2/3") and a delete button; "No attachments" when there are none. It
// shows a list and reports taps; the list itself belongs to the
// ScreenshotStore. Thumbnails carry the tag kThumbnailTag + their index.
class ScreenshotStrip : public QWidget {
    Q_OBJECT
public:
    static constexpr int kThumbnailTag = 1000;
    static constexpr int kThumbnailHeight = 150;

    explicit ScreenshotStrip(QWidget* parent = nullptr);

    // Shows these paths, skipping files that do not read as pictures.
    void setPaths(const QStringList& paths);
    QStringList paths() const { return paths_; }
    QPushButton* thumbnail(int index) const;
    QPushButton* deleteButton(int index) const;
    QLabel* caption(int index) const;
    QLabel* emptyLabel() const { return empty_; }

signals:
    void thumbnailTapped(int index);
    void deleteTapped(int index);

private:
    QWidget* thumbnailView(const QImage& image, int index, int count);

    QStringList paths_;
    QScrollArea* scroll_ = nullptr;
    QWidget* row_ = nullptr;
    QHBoxLayout* rowLayout_ = nullptr;
    QLabel* empty_ = nullptr;
};

}  // namespace brelvo
