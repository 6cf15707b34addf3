#include "ui/editor/EditorPlaceholderScreen.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace brelvo {

EditorPlaceholderScreen::EditorPlaceholderScreen(const QString& originalScreenshotName, int selectedImageIndex)
    : originalScreenshotName_(originalScreenshotName), selectedImageIndex_(selectedImageIndex) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(32, 32, 32, 32);
    column->setSpacing(20);
    column->addStretch(1);
    auto* title = new QLabel(QStringLiteral("Screenshot editor"), this);
    title->setAlignment(Qt::AlignCenter);
    title->setStyleSheet(QStringLiteral("color: white; background: transparent; font-weight: bold; font-size: 20px;"));
    auto* message = new QLabel(QStringLiteral("Not available yet."), this);
    message->setAlignment(Qt::AlignCenter);
    message->setWordWrap(true);
    message->setStyleSheet(QStringLiteral("color: rgb(200, 200, 200); background: transparent; font-size: 15px;"));
    column->addWidget(title);
    column->addWidget(message);
    btnBack_ = new QPushButton(QStringLiteral("Back"), this);
    btnBack_->setFixedSize(120, 40);
    btnBack_->setCursor(Qt::PointingHandCursor);
    btnBack_->setFocusPolicy(Qt::NoFocus);
    btnBack_->setStyleSheet(QStringLiteral(
        "QPushButton { color: white; background: rgb(71, 95, 107); border: none; border-radius: 6px;"
        " font-size: 15px; }"
        "QPushButton:pressed { color: rgb(170, 170, 170); }"));
    column->addWidget(btnBack_, 0, Qt::AlignHCenter);
    column->addStretch(1);
    connect(btnBack_, &QPushButton::clicked, this, [this] {
        if (isLeaving()) return;
        emit exited();
        leave(false);
    });
}

void EditorPlaceholderScreen::paintEvent(QPaintEvent*) {
    QPainter(this).fillRect(rect(), QColor(34, 34, 34));
}

}  // namespace brelvo
