#include "ui/session/BrelReadMeVC.h"

#include "state/UserHelperBrelvo.h"
#include "ui/common/NavBar.h"
#include "ui/common/PictureView.h"
#include "ui/images/BrelvoImageManager.h"
#include "ui/session/BrelvoWindow.h"
#include "ui/session/OverlayControl.h"

#include <QPainter>
#include <QPushButton>
#include <QTextEdit>

#include <algorithm>

namespace brelvo {
namespace {
constexpr int kButtonHeight = 50;
}

BrelReadMeVC::~BrelReadMeVC() {
    showFloatingButtons();
}

const QString BrelReadMeVC::kText = QStringLiteral(
    "Offline mode is activated due to server connection failure. All user activity and issues will be saved "
    "locally and sent to server when connection is restored.");

BrelReadMeVC::BrelReadMeVC(QWidget* parent) : CoverScreen(parent) {
    viewDidLoad();
}

void BrelReadMeVC::viewDidLoad() {
    // The library's bar, with its logo, as over the menu and the profile.
    auto* logo = new PictureView(this);
    logo->setImage(BrelvoImageManager::sharedInstance().getImageForKey(QStringLiteral("logo")));
    logo_ = logo;

    textView_ = new QTextEdit(this);
    textView_->setReadOnly(true);
    textView_->setFrameShape(QFrame::NoFrame);
    textView_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    textView_->setStyleSheet(QStringLiteral("QTextEdit { color: black; background: white; font-size: 20px; }"));
    textView_->document()->setDocumentMargin(kMargin);
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
    logo_->setGeometry((width() - 140) / 2, (NavBar::kHeight - 26) / 2, 140, 26);
    textView_->setGeometry(0, NavBar::kHeight, width(), std::max(0, height() - NavBar::kHeight - kButtonHeight));
    okButton_->setGeometry(0, height() - kButtonHeight, width(), kButtonHeight);
}

void BrelReadMeVC::resizeEvent(QResizeEvent*) {
    layoutElements();
}

void BrelReadMeVC::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    p.fillRect(QRect(0, 0, width(), NavBar::kHeight), NavBar::kColour);
}

void BrelReadMeVC::showEvent(QShowEvent*) {
    // The overlay's floating buttons stand above every host view: the notice
    // would be read through them, so they step aside while it shows.
    BrelvoWindow* overlay = overlay::window();
    if (!overlay) return;
    for (QWidget* button : {static_cast<QWidget*>(overlay->brelvoSlider()),
                            static_cast<QWidget*>(overlay->brelvoMakeScreenshot())}) {
        if (!button || !button->isVisible()) continue;
        button->hide();
        hiddenButtons_.append(button);
    }
    overlay->updateHitRegion();
}

void BrelReadMeVC::hideEvent(QHideEvent*) {
    showFloatingButtons();
}

void BrelReadMeVC::showFloatingButtons() {
    for (const QPointer<QWidget>& button : std::as_const(hiddenButtons_))
        if (button) button->show();
    hiddenButtons_.clear();
    if (BrelvoWindow* overlay = overlay::window()) overlay->updateHitRegion();
}

bool BrelReadMeVC::shouldAutorotate() const {
    return UserHelperBrelvo::shared().isOpen();
}

}  // namespace brelvo
