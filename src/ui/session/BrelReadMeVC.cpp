#include "ui/session/BrelReadMeVC.h"

#include "state/UserHelperBrelvo.h"

#include <QPainter>
#include <QPushButton>
#include <QTextEdit>

#include <algorithm>

namespace brelvo {
namespace {
constexpr int kButtonHeight = 50;
}

const QString BrelReadMeVC::kText = QStringLiteral(
    "  Offline mode is activated due to server connection failure. All user activity and issues will be saved "
    "locally and sent to server when connection is restored.");

BrelReadMeVC::BrelReadMeVC(QWidget* parent) : CoverScreen(parent) {
    viewDidLoad();
}

void BrelReadMeVC::viewDidLoad() {
    textView_ = new QTextEdit(this);
    textView_->setReadOnly(true);
    textView_->setFrameShape(QFrame::NoFrame);
    textView_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    textView_->setStyleSheet(QStringLiteral("QTextEdit { color: black; background: white; font-size: 20px; }"));
    textView_->document()->setDocumentMargin(8);
    textView_->setPlainText(kText);

    okButton_ = new QPushButton(QStringLiteral("OK"), this);
    okButton_->setCursor(Qt::PointingHandCursor);
    okButton_->setFocusPolicy(Qt::NoFocus);
    okButton_->setStyleSheet(QStringLiteral(
        "QPushButton { background-color: rgb(128, 128, 128); color: white; border: none; font-size: 18px; }"
        "QPushButton:pressed { color: rgb(170, 170, 170); }"));
    connect(okButton_, &QPushButton::clicked, this, &BrelReadMeVC::exit);
    layoutElements();
}

void BrelReadMeVC::layoutElements() {
    textView_->setGeometry(0, 0, width(), std::max(0, height() - kButtonHeight));
    okButton_->setGeometry(0, height() - kButtonHeight, width(), kButtonHeight);
}

void BrelReadMeVC::resizeEvent(QResizeEvent*) {
    layoutElements();
}

void BrelReadMeVC::paintEvent(QPaintEvent*) {
    QPainter(this).fillRect(rect(), Qt::white);
}

bool BrelReadMeVC::shouldAutorotate() const {
    return UserHelperBrelvo::shared().isOpen();
}

}  // namespace brelvo
