#pragma once

#include "ui/common/ViewTagNumbers.h"
#include "ui/session/BVAlert.h"

#include <QColor>
#include <QImage>
#include <QPointer>
#include <QWidget>

class QPushButton;
class QTextEdit;

namespace brelvo {

class ActivityIndicator;
class ImageButton;

// The full-screen lock screen: the shared error record's message, a picture
// that tells a refusal from a connection problem, an optional action button
// that leads to the service's own application and an optional refresh button
// that starts a new authentication. While it shows, every return of the
// application to the foreground asks for a new authentication.
class LockScreenViewControllerBrelvo : public QWidget, public BVAlertDelegate {
    Q_OBJECT
public:
    static constexpr int kTag = viewtags::kLockScreen;
    static constexpr int kLoadingTag = viewtags::kLoadingLockScreen;
    // The action button ("Contact QA" and the like).
    static constexpr QColor kActionBackground{26, 117, 159};
    static constexpr QColor kActionText{255, 255, 255};
    static const QString kLoadingMessage;    // "Loading. Please wait"

    explicit LockScreenViewControllerBrelvo(QWidget* parent = nullptr);
    ~LockScreenViewControllerBrelvo() override;

    // Fills the screen from the shared error record.
    void setupWithErrorInfo();
    // Shows the named picture of the image atlas in place of the refusal
    // picture; square lays it out as a centred square.
    void setupImageWithName(const QString& name, bool squareFrame);
    void setupImageWithSquareFrame();

    // Posts "Authentication".
    void refresh();
    void actionBtnPressed();
    void showAlertIdentityNotFound();
    void makeProfileRequest();
    bool shouldAutorotate() const;

    // The identity alert's buttons.
    void successButtonPressed() override;
    void cancelButtonPressed() override {}
    QWidget* alertDelegateView() override { return this; }

    // A lock screen over a view of the overlay (the overlay window's root
    // view): built from the shared error record, sized to the screen, tagged
    // and raised. The view owns it.
    static LockScreenViewControllerBrelvo* showOver(QWidget* view, int tag);
    // The loading variant: the shared record's message becomes "Loading.
    // Please wait", the picture is "autorisation_logo" in a square frame with an
    // activity indicator turning below it, tag 99999.
    static LockScreenViewControllerBrelvo* showLoadingOver(QWidget* view);

    // For tests and screenshots.
    QWidget* locksImage() const { return locksImage_; }
    QWidget* connectionErrorImage() const { return connectionErrorImage_; }
    QWidget* logo() const { return logo_; }
    QTextEdit* errorMessageView() const { return errorMessage_; }
    QPushButton* actionButton() const { return actionButton_; }
    ImageButton* refreshButton() const { return refreshButton_; }
    // The loading variant's spinner; null on the other lock screens.
    ActivityIndicator* activityIndicator() const { return spinner_; }
    BVAlert* identityAlert() const { return identityAlert_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void createGUI();
    void layoutElements();

    QWidget* logo_ = nullptr;
    QWidget* locksImage_ = nullptr;
    QWidget* connectionErrorImage_ = nullptr;
    QTextEdit* errorMessage_ = nullptr;
    QPushButton* actionButton_ = nullptr;
    ImageButton* refreshButton_ = nullptr;
    ActivityIndicator* spinner_ = nullptr;
    QPointer<BVAlert> identityAlert_;
    bool squarePicture_ = false;
};

}  // namespace brelvo
