#pragma once

#include "platform/CoverScreen.h"
#include "ui/editor/BrelvoEditImageViewController.h"
#include "ui/session/BVAlert.h"

#include <QImage>
#include <QPointer>
#include <QString>

#include <functional>

class QLabel;
class QPushButton;

namespace brelvo {

class PictureView;
class ScreenshotPreviewHost;

// The full-screen preview of one screenshot, presented over the issue form:
// "Save" puts a copy in the photo album, "Edit" opens the editor, "Delete"
// asks and then deletes. It shows either a fresh capture (the shared state's
// last image, not stored yet: saving or editing it adds it to the issue) or a
// screenshot the issue already holds, which it knows by its file's path: the
// form's list may be rebuilt while the preview shows, so an index could point
// at another screenshot by then. GUI thread only.
class ScreenshotEditBrelvoVC : public CoverScreen, public BVAlertDelegate {
    Q_OBJECT
public:
    static constexpr int kFreshCapture = -1;
    static constexpr int kHeaderHeight = 47;
    static constexpr int kPictureMargin = 16;  // round the picture, inside its area

    // A fresh capture: the shared state's last image.
    explicit ScreenshotEditBrelvoVC(ScreenshotPreviewHost* host);
    // A screenshot of the issue: its picture and the file it was read from.
    ScreenshotEditBrelvoVC(ScreenshotPreviewHost* host, const QImage& image, const QString& path);

    // The screenshot's position in the form's list, for the editor; set before presenting.
    void setButtonTag(int tag) { buttonTag_ = tag; }
    int buttonTag() const { return buttonTag_; }
    // The screenshot's file: the attached one's, or a fresh capture's once stored.
    QString pathScreenshot() const { return pathScreenshot_; }

    // Builds the screen and covers the form's view, not animated.
    void present();

    void saveAction();
    void editAction();
    void deleteAction();
    void backAction() { leave(false); }
    // The editor's "Save": the edited picture replaces the screenshot's file
    // in one step and the stack closes. When the file cannot be written the
    // former picture stays, listed as before, and the editor stays open.
    void editorSaved(const QImage& edited);

    static int getEditButtonHeight();

    QImage image() const { return image_; }
    QPushButton* saveButton() const { return btnSave_; }
    QPushButton* editButton() const { return editButton_; }
    QPushButton* deleteButton() const { return deleteButton_; }
    QPushButton* backButton() const { return btnBack_; }
    BrelvoEditImageViewController* editor() const { return editor_; }

signals:
    void closed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void left() override;
    void successButtonPressed() override;
    QWidget* alertDelegateView() override { return this; }

private:
    void createUI();
    void layoutElements();
    bool isFreshCapture() const { return pathScreenshot_.isEmpty(); }
    // A fresh capture goes into the photo album and the list; then `stored` runs.
    void saveScreenshot(std::function<void()> stored);
    void openEditor();
    void setBusy(bool busy);

    ScreenshotPreviewHost* host_;
    QImage image_;
    QString pathScreenshot_;
    int buttonTag_ = 0;
    bool built_ = false;
    bool busy_ = false;
    QWidget* header_ = nullptr;
    QLabel* sign_ = nullptr;
    QLabel* logo_ = nullptr;
    QPushButton* btnBack_ = nullptr;
    QPushButton* btnSave_ = nullptr;
    PictureView* imageView_ = nullptr;
    QPushButton* editButton_ = nullptr;
    QPushButton* deleteButton_ = nullptr;
    QPointer<BrelvoEditImageViewController> editor_;
};

}  // namespace brelvo
