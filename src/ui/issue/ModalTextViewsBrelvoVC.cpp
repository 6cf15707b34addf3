#include "ui/issue/ModalTextViewsBrelvoVC.h"

#include "platform/Screen.h"
#include "state/UserHelperBrelvo.h"
#include "ui/common/BackChevron.h"
#include "ui/common/NavBar.h"
#include "ui/images/BrelvoImageManager.h"
#include "ui/issue/IssueTextForm.h"

#include <QLabel>
#include <QLayout>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>

namespace brelvo {

ModalTextViewsBrelvoVC::ModalTextViewsBrelvoVC(IssueTextForm* form) : form_(form) {}

void ModalTextViewsBrelvoVC::present(bool animated) {
    QWidget* view = form_ ? form_->formView() : nullptr;
    if (!view || built_) return;
    setParent(view);  // the bar's images are drawn at the view's scale
    createUI();
    presentOver(view, animated);
    textView_->setFocus(Qt::OtherFocusReason);  // the keyboard comes up at once
}

void ModalTextViewsBrelvoVC::createUI() {
    built_ = true;
    createNavBar();
    textView_ = new QPlainTextEdit(this);
    textView_->setFrameShape(QFrame::NoFrame);
    textView_->setStyleSheet(QStringLiteral("QPlainTextEdit { color: black; background: white; font-size: 16px; }"));
    // The same side margins as the library's other pages.
    textView_->document()->setDocumentMargin(kTextMargin);
    textView_->setPlainText(summOrDescr_ ? form_->summaryText() : form_->descriptionText());
    textView_->moveCursor(QTextCursor::End);
    layoutElements();
}

void ModalTextViewsBrelvoVC::createNavBar() {
    navBarView_ = new QWidget(this);
    navBarView_->setAutoFillBackground(true);
    navBarView_->setStyleSheet(QStringLiteral("background: %1;").arg(NavBar::kColour.name()));

    navLabel_ = new QLabel(summOrDescr_ ? QStringLiteral("Summary") : QStringLiteral("Description"), navBarView_);
    navLabel_->setAlignment(Qt::AlignCenter);
    navLabel_->setStyleSheet(barTitleStyle());

    btnDone_ = new QPushButton(QStringLiteral("Done"), navBarView_);
    btnDone_->setFocusPolicy(Qt::NoFocus);
    btnDone_->setCursor(Qt::PointingHandCursor);
    btnDone_->setStyleSheet(QStringLiteral(
        "QPushButton { color: white; background: rgb(71, 95, 107); border: none; border-radius: 5px;"
        " font-weight: bold; font-size: 12px; }"
        "QPushButton:pressed { color: rgb(170, 170, 170); }"));
    connect(btnDone_, &QPushButton::clicked, this, &ModalTextViewsBrelvoVC::saveAction);

    btnBack_ = barBackButton(navBarView_);
    btnBack_->move(7, 7);
    connect(btnBack_, &QPushButton::clicked, this, &ModalTextViewsBrelvoVC::exitAction);

    sign_ = new QLabel(navBarView_);
    sign_->setAttribute(Qt::WA_TransparentForMouseEvents);  // not touchable
    sign_->setGeometry(30, 10, 32, 26);
    sign_->setScaledContents(true);
    sign_->setPixmap(QPixmap::fromImage(BrelvoImageManager::sharedInstance().getImageForKey(QStringLiteral("sign"))));
    sign_->raise();
}

void ModalTextViewsBrelvoVC::layoutElements() {
    if (!built_) return;
    navBarView_->setGeometry(0, 0, width(), kNavBarHeight);
    navLabel_->setGeometry(0, 0, width(), kNavBarHeight);
    btnDone_->setGeometry(width() - 52 - 7, 7, 48, 30);
    const int top = kNavBarHeight + kTextTop;
    textView_->setGeometry(0, top, width(), qMax(0, height() - top));
}

void ModalTextViewsBrelvoVC::resizeEvent(QResizeEvent*) {
    layoutElements();
}

void ModalTextViewsBrelvoVC::paintEvent(QPaintEvent*) {
    QPainter(this).fillRect(rect(), Qt::white);
}

void ModalTextViewsBrelvoVC::saveAction() {
    if (isLeaving() || !built_) return;
    const QString text = textView_->toPlainText();
    if (summOrDescr_)
        form_->setSummaryText(text);
    else
        form_->setDescriptionText(text.isEmpty() ? IssueTextForm::kDescriptionPlaceholder : text);
    leave();
}

void ModalTextViewsBrelvoVC::exitAction() {
    if (built_) leave();
}

void ModalTextViewsBrelvoVC::left() {
    restorePresentingView();
    emit closed();
}

void ModalTextViewsBrelvoVC::restorePresentingView() {
    QWidget* view = form_ ? form_->formView() : nullptr;
    if (!view) return;
    // The screen's bounds are already in the interface orientation.
    const QSize bounds = screen::bounds();
    if (!bounds.isEmpty() && !view->isWindow()) view->setGeometry(QRect(QPoint(0, 0), bounds));
    if (view->layout()) view->layout()->activate();
    view->updateGeometry();
}

bool ModalTextViewsBrelvoVC::shouldAutorotate() const {
    return UserHelperBrelvo::shared().isOpen();
}

}  // namespace brelvo
