#include "ui/issue/ScreenshotStrip.h"

#include "platform/ViewTags.h"
#include "ui/images/BrelvoImageManager.h"

#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace brelvo {

namespace {
const QString kNoAttachments = QStringLiteral("No attachments");
}

ScreenshotStrip::ScreenshotStrip(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    empty_ = new QLabel(kNoAttachments, this);
    empty_->setAlignment(Qt::AlignCenter);
    empty_->setStyleSheet(QStringLiteral("color: rgb(128, 128, 128); font-size: 15px;"));
    layout->addWidget(empty_);
    scroll_ = new QScrollArea(this);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setFixedHeight(kThumbnailHeight + 40);
    row_ = new QWidget;
    rowLayout_ = new QHBoxLayout(row_);
    rowLayout_->setContentsMargins(4, 4, 4, 4);
    rowLayout_->setSpacing(16);
    scroll_->setWidget(row_);
    layout->addWidget(scroll_);
    setPaths({});
}

void ScreenshotStrip::setPaths(const QStringList& paths) {
    while (QLayoutItem* item = rowLayout_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    paths_ = paths;
    int shown = 0;
    for (int i = 0; i < paths.size(); ++i) {
        QImageReader reader(paths[i]);
        reader.setAutoTransform(true);
        // Decoded at thumbnail size: a full capture per thumbnail would be wasted memory.
        const QSize full = reader.size();
        if (full.isValid() && full.height() > 0)
            reader.setScaledSize(full.scaled(QSize(10000, kThumbnailHeight * 2), Qt::KeepAspectRatio));
        const QImage image = reader.read();
        if (image.isNull()) continue;
        rowLayout_->addWidget(thumbnailView(image, i, paths.size()));
        ++shown;
    }
    rowLayout_->addStretch(1);
    empty_->setVisible(shown == 0);
    scroll_->setVisible(shown > 0);
}

QWidget* ScreenshotStrip::thumbnailView(const QImage& image, int index, int count) {
    auto* cell = new QWidget;
    auto* column = new QVBoxLayout(cell);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);

    const QSize size = image.size().scaled(QSize(kThumbnailHeight * 2, kThumbnailHeight), Qt::KeepAspectRatio);
    auto* button = new QPushButton(cell);
    tags::setTag(button, kThumbnailTag + index);
    button->setFixedSize(size);
    button->setIcon(QPixmap::fromImage(image));
    button->setIconSize(size);
    button->setFocusPolicy(Qt::NoFocus);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(QStringLiteral("QPushButton { border: 1px solid rgb(169, 169, 169); background: white; }"));
    connect(button, &QPushButton::clicked, this, [this, index] { emit thumbnailTapped(index); });

    auto* badge = new QLabel(button);
    badge->setAttribute(Qt::WA_TransparentForMouseEvents);  // the tap belongs to the thumbnail
    badge->setScaledContents(true);
    badge->setPixmap(QPixmap::fromImage(
        BrelvoImageManager::sharedInstance().getImageForKey(QStringLiteral("edit_screenshot_btn@2x~ipad"))));
    badge->setGeometry(size.width() - 30, size.height() - 30, 26, 26);

    auto* remove = new QPushButton(QStringLiteral("\u2715"), button);
    remove->setObjectName(QStringLiteral("delete"));
    remove->setFocusPolicy(Qt::NoFocus);
    remove->setCursor(Qt::PointingHandCursor);
    remove->setGeometry(size.width() - 26, 2, 24, 24);
    remove->setStyleSheet(QStringLiteral(
        "QPushButton { color: white; background: rgba(0, 0, 0, 150); border: none; border-radius: 12px;"
        " font-size: 13px; }"
        "QPushButton:pressed { background: rgba(0, 0, 0, 220); }"));
    connect(remove, &QPushButton::clicked, this, [this, index] { emit deleteTapped(index); });

    auto* caption = new QLabel(QStringLiteral("%1/%2").arg(index + 1).arg(count), cell);
    caption->setObjectName(QStringLiteral("caption"));
    caption->setAlignment(Qt::AlignCenter);
    caption->setStyleSheet(QStringLiteral("color: rgb(80, 80, 80); font-size: 13px;"));

    column->addWidget(button);
    column->addWidget(caption);
    return cell;
}

QPushButton* ScreenshotStrip::thumbnail(int index) const {
    return qobject_cast<QPushButton*>(tags::viewWithTag(row_, kThumbnailTag + index));
}

QPushButton* ScreenshotStrip::deleteButton(int index) const {
    QPushButton* thumb = thumbnail(index);
    return thumb ? thumb->findChild<QPushButton*>(QStringLiteral("delete")) : nullptr;
}

QLabel* ScreenshotStrip::caption(int index) const {
    QPushButton* thumb = thumbnail(index);
    return thumb ? thumb->parentWidget()->findChild<QLabel*>(QStringLiteral("caption")) : nullptr;
}

}  // namespace brelvo
