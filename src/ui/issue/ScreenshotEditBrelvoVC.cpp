#include "ui/issue/ScreenshotEditBrelvoVC.h"

#include "platform/CategoryHelper.h"
#include "platform/Dispatch.h"
#include "platform/PhotoAlbum.h"
#include "platform/Screen.h"
#include "state/UserHelperBrelvo.h"
#include "ui/common/BackChevron.h"
#include "ui/common/PictureView.h"
#include "ui/common/Texts.h"
#include "ui/images/BrelvoImageManager.h"
#include "ui/issue/ScreenshotPreviewHost.h"
#include "ui/issue/ScreenshotStore.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include <array>
#include <memory>

namespace brelvo {

namespace {

const QString kDeleteQuestion = QStringLiteral("Do you want to delete this image?");

QString barButtonStyle(const QColor& colour, int fontSize, int radius) {
    return QStringLiteral(
               "QPushButton { color: white; background: %1; border: none; border-radius: %2px;"
               " font-weight: bold; font-size: %3px; }"
               "QPushButton:pressed { color: rgb(170, 170, 170); }")
        .arg(colour.name())
        .arg(radius)
        .arg(fontSize);
}

// Writing a PNG takes a moment, and the album's copy is the tester's own
// business: it is made on the pool and nobody waits for it.
void copyToPhotoAlbum(const QImage& image) {
    dispatch::toGlobal([image] { photoAlbum::save(image); });
}

using StoreSignal = void (ScreenshotStore::*)(const QString&);

// Runs done(true) or done(false) once, when the store reports on this file;
// its reports on other files pass by. Nothing runs once the context is gone.
void whenStored(QObject* context, StoreSignal saved, StoreSignal notSaved, const QString& path,
                std::function<void(bool)> done) {
    ScreenshotStore& store = ScreenshotStore::shared();
    auto connections = std::make_shared<std::array<QMetaObject::Connection, 2>>();
    auto finish = [connections, done](bool success) {
        for (const auto& c : *connections) QObject::disconnect(c);
        done(success);
    };
    (*connections)[0] = QObject::connect(&store, saved, context, [path, finish](const QString& p) {
        if (p == path) finish(true);
    });
    (*connections)[1] = QObject::connect(&store, notSaved, context, [path, finish](const QString& p) {
        if (p == path) finish(false);
    });
}

}  // namespace

ScreenshotEditBrelvoVC::ScreenshotEditBrelvoVC(ScreenshotPreviewHost* host)
    : host_(host), buttonTag_(kFreshCapture) {}

ScreenshotEditBrelvoVC::ScreenshotEditBrelvoVC(ScreenshotPreviewHost* host, const QImage& image, const QString& path)
    : host_(host), image_(image), pathScreenshot_(path) {}

int ScreenshotEditBrelvoVC::getEditButtonHeight() {
    return screen::isTablet() ? 80 : 60;
}

void ScreenshotEditBrelvoVC::present() {
    QWidget* view = host_ ? host_->formView() : nullptr;
    if (!view || built_) return;
    if (buttonTag_ == kFreshCapture && pathScreenshot_.isEmpty()) image_ = UserHelperBrelvo::shared().lastImage();
    setParent(view);  // the bar's images are drawn at the view's scale
    createUI();
    presentOver(view, false);
}

void ScreenshotEditBrelvoVC::createUI() {
    built_ = true;
    header_ = new QWidget(this);
    header_->setAttribute(Qt::WA_StyledBackground);
    header_->setStyleSheet(QStringLiteral("background: rgb(51, 51, 51);"));

    sign_ = new QLabel(header_);
    sign_->setAttribute(Qt::WA_TransparentForMouseEvents);
    sign_->setScaledContents(true);
    sign_->setPixmap(QPixmap::fromImage(BrelvoImageManager::sharedInstance().getImageForKey(QStringLiteral("sign"))));
    // Titled like the issue form's bar (the logo would repeat the mark beside it).
    logo_ = new QLabel(QStringLiteral("Screenshot"), header_);
    logo_->setAttribute(Qt::WA_TransparentForMouseEvents);
    logo_->setAlignment(Qt::AlignCenter);
    logo_->setStyleSheet(QStringLiteral("color: white; background: transparent; font-weight: bold; font-size: 20px;"));

    btnBack_ = barBackButton(header_);
    connect(btnBack_, &QPushButton::clicked, this, &ScreenshotEditBrelvoVC::backAction);
    sign_->raise();  // shown over the back button's wide touch area, which it lets through

    btnSave_ = new QPushButton(QStringLiteral("Save"), header_);
    btnSave_->setFocusPolicy(Qt::NoFocus);
    btnSave_->setCursor(Qt::PointingHandCursor);
    btnSave_->setStyleSheet(barButtonStyle(QColor(71, 95, 107), 12, 5));
    connect(btnSave_, &QPushButton::clicked, this, &ScreenshotEditBrelvoVC::saveAction);

    imageView_ = new PictureView(this);
    imageView_->setImage(image_);

    const int fontSize = screen::isTablet() ? 22 : 18;
    editButton_ = new QPushButton(QStringLiteral("Edit"), this);
    editButton_->setStyleSheet(barButtonStyle(QColor(32, 144, 192), fontSize, 0));
    deleteButton_ = new QPushButton(QStringLiteral("Delete"), this);
    deleteButton_->setStyleSheet(barButtonStyle(QColor(255, 101, 101), fontSize, 0));
    for (QPushButton* b : {editButton_, deleteButton_}) {
        b->setFocusPolicy(Qt::NoFocus);
        b->setCursor(Qt::PointingHandCursor);
    }
    connect(editButton_, &QPushButton::clicked, this, &ScreenshotEditBrelvoVC::editAction);
    connect(deleteButton_, &QPushButton::clicked, this, &ScreenshotEditBrelvoVC::deleteAction);
    layoutElements();
}

void ScreenshotEditBrelvoVC::layoutElements() {
    if (!built_) return;
    const int w = width();
    const int rowHeight = getEditButtonHeight();
    header_->setGeometry(0, 0, w, kHeaderHeight);
    btnBack_->setGeometry(7, 7, 60, 30);
    sign_->setGeometry(30, 10, 32, 26);
    logo_->setGeometry((w - 160) / 2, 7, 160, 30);
    btnSave_->setGeometry(w - 48 - 11, 7, 48, 30);
    const int rowTop = qMax(kHeaderHeight, height() - rowHeight);
    const QRect pictureArea(0, kHeaderHeight, w, rowTop - kHeaderHeight);
    imageView_->setGeometry(pictureArea.adjusted(kPictureMargin, kPictureMargin, -kPictureMargin, -kPictureMargin));
    editButton_->setGeometry(0, rowTop, w / 2, rowHeight);
    deleteButton_->setGeometry(w / 2, rowTop, w - w / 2, rowHeight);
}

void ScreenshotEditBrelvoVC::resizeEvent(QResizeEvent*) {
    layoutElements();
}

void ScreenshotEditBrelvoVC::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(214, 214, 214));
    if (!imageView_ || image_.isNull()) return;
    // A soft shadow sets the picture off a backdrop that may be much its own
    // colour (a screenshot of a light screen).
    QSizeF size = QSizeF(image_.size()) / image_.devicePixelRatio();
    size.scale(QSizeF(imageView_->size()), Qt::KeepAspectRatio);
    QRectF frame(QPointF(0, 0), size);
    frame.moveCenter(QRectF(imageView_->geometry()).center());
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 22));
    for (int spread = 4; spread >= 1; --spread)
        p.drawRoundedRect(frame.adjusted(-spread, -spread + 1, spread, spread + 1), spread, spread);
}

// ---- the actions ----------------------------------------------------------------

void ScreenshotEditBrelvoVC::saveAction() {
    if (!built_ || busy_ || isLeaving()) return;
    if (!isFreshCapture()) {
        // The issue holds it already; only the album gets a copy.
        copyToPhotoAlbum(image_);
        leave(true);
        return;
    }
    if (image_.isNull()) {  // no capture to keep
        leave(true);
        return;
    }
    saveScreenshot([this] {
        host_->goToLastScreenshot();
        leave(true);
    });
}

void ScreenshotEditBrelvoVC::editAction() {
    if (!built_ || busy_ || isLeaving() || editor_) return;
    // An attached screenshot is edited where it lies: a copy would take a
    // sixth place in a full list, and stay behind as a duplicate when the
    // tester leaves the editor without changes.
    if (!isFreshCapture()) {
        openEditor();
        return;
    }
    if (!image_.isNull()) saveScreenshot([this] { openEditor(); });
}

void ScreenshotEditBrelvoVC::saveScreenshot(std::function<void()> stored) {
    if (!host_->allowAnotherScreenshot()) return;
    copyToPhotoAlbum(image_);
    setBusy(true);
    // The capture stays on screen until it is stored: should that fail, the
    // tester still has it here (and in the album).
    const QString path = ScreenshotStore::shared().saveCapture(image_);
    whenStored(this, &ScreenshotStore::captureSaved, &ScreenshotStore::captureNotSaved, path,
               [this, path, stored](bool saved) {
                   setBusy(false);
                   if (!saved) return;
                   pathScreenshot_ = path;
                   host_->rebuildScrollView();
                   stored();
               });
}

void ScreenshotEditBrelvoVC::openEditor() {
    const int index = isFreshCapture() ? kFreshCapture : buttonTag_;
    auto* editor = new BrelvoEditImageViewController(image_, pathScreenshot_, index);
    editor_ = editor;
    // The editor closes the preview with it: both go back to the form.
    connect(editor, &BrelvoEditImageViewController::exited, this, [this] { leave(false); });
    connect(editor, &BrelvoEditImageViewController::saved, this, &ScreenshotEditBrelvoVC::editorSaved);
    editor->presentOver(this, false);
}

void ScreenshotEditBrelvoVC::editorSaved(const QImage& edited) {
    if (isFreshCapture() || busy_ || isLeaving()) return;
    setBusy(true);
    whenStored(this, &ScreenshotStore::editSaved, &ScreenshotStore::editNotSaved, pathScreenshot_, [this](bool saved) {
        setBusy(false);
        if (!saved) return;
        host_->rebuildScrollView();
        leave(false);
    });
    ScreenshotStore::shared().saveEdited(pathScreenshot_, edited);
}

void ScreenshotEditBrelvoVC::deleteAction() {
    if (!built_ || busy_ || isLeaving()) return;
    auto* alert = new BVAlert(texts::warningTitle(), kDeleteQuestion, QStringLiteral("No"), QStringLiteral("Yes"));
    alert->setBvAlertDelegate(this);
    alert->show();
}

void ScreenshotEditBrelvoVC::successButtonPressed() {
    if (isLeaving()) return;
    // By path: the list may have been rebuilt since the preview opened, and
    // the position it was opened at may now hold another screenshot.
    if (!isFreshCapture()) {
        ScreenshotStore::shared().remove(pathScreenshot_);
        host_->rebuildScrollView();
    }
    leave(false);
}

void ScreenshotEditBrelvoVC::setBusy(bool busy) {
    busy_ = busy;
    if (busy)
        CategoryHelper::shared().showSmallActivityViewOnView(this);
    else
        CategoryHelper::shared().removeActivityViewFromView(this);
}

void ScreenshotEditBrelvoVC::left() {
    UserHelperBrelvo::shared().setLastImage(QImage());
    emit closed();
}

}  // namespace brelvo
