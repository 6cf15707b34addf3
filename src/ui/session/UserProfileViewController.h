#pragma once

#include "ui/common/ViewTagNumbers.h"
#include "ui/session/BVAlert.h"

#include <QImage>
#include <QPointer>
#include <QWidget>

class QAbstractButton;

namespace brelvo {

class ImageButton;
class ProfileLabel;
class UserProfileCell;

// Who is testing which build: the tester's picture, role, name and e-mail,
// the revision and its project, a "Logout" button and a "Brelvo" button
// that opens the service's companion application. Every value is read afresh
// each time the screen appears, so one instance serves every showing.
//
// Closing. The screen is shown three ways: presented by the menu panel, added
// to the overlay's view, or added full screen to the last window by the
// facade. The back button always emits dismissRequested(). A presenter that
// connects to it closes the screen itself (the menu panel does). When nobody
// listens, the screen closes itself: it hides and leaves its parent, but is
// not deleted, so that its owner can add it again later.
class UserProfileViewController : public QWidget, public BVAlertDelegate {
    Q_OBJECT
public:
    static constexpr int kTag = viewtags::kUserProfile;
    static constexpr int kBarHeight = 47;
    static constexpr int kButtonHeight = 60;
    // Portrait, upside down, landscape left and right.
    static constexpr int kSupportedOrientations = 0x1e;

    explicit UserProfileViewController(QWidget* parent = nullptr);
    ~UserProfileViewController() override;

    // Reads every shown value again: role and name from the authentication
    // record, e-mail from the settings, the revision rows, and the picture
    // (fetched off the GUI thread; it stays empty when there is none).
    void reloadData();

    void backBtnPressed();
    void logoutBtnPressed();
    void brelvoBtnPressed();
    // Opens the address when the desktop can open its scheme (everything
    // before the first "//"); otherwise asks whether to install the app.
    void tryToOpenURL(const QString& url);

    // "YES" in the install alert: the service's web address in the browser.
    void successButtonPressed() override;
    void cancelButtonPressed() override {}
    QWidget* alertDelegateView() override { return this; }

    int supportedInterfaceOrientations() const { return kSupportedOrientations; }
    bool shouldAutorotate() const { return true; }

    ImageButton* btnBack() const { return btnBack_; }
    QAbstractButton* btnLogout() const { return btnLogout_; }
    QAbstractButton* btnBV() const { return btnBV_; }
    QWidget* table() const { return table_; }
    ProfileLabel* userRole() const { return userRole_; }
    ProfileLabel* userName() const { return userName_; }
    ProfileLabel* email() const { return email_; }
    QWidget* userImageView() const { return userImageView_; }
    QImage userImage() const;
    UserProfileCell* revisionCell() const { return revisionCell_; }
    UserProfileCell* projectCell() const { return projectCell_; }
    QWidget* signView() const { return sign_; }
    QWidget* logoView() const { return logo_; }
    // The header of the first section (role, name, e-mail and picture).
    QWidget* header() const { return header_; }
    BVAlert* installAlert() const { return installAlert_; }

signals:
    // The back button was pressed; see the class comment.
    void dismissRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void createGUI();
    void layoutElements();
    void loadPicture(const QString& url);
    void showInstallAlert();

    ImageButton* btnBack_ = nullptr;
    QAbstractButton* btnLogout_ = nullptr;
    QAbstractButton* btnBV_ = nullptr;
    QWidget* sign_ = nullptr;
    QWidget* logo_ = nullptr;
    QWidget* table_ = nullptr;
    QWidget* header_ = nullptr;
    ProfileLabel* userRole_ = nullptr;
    ProfileLabel* userName_ = nullptr;
    ProfileLabel* email_ = nullptr;
    QWidget* userImageView_ = nullptr;
    UserProfileCell* revisionCell_ = nullptr;
    UserProfileCell* projectCell_ = nullptr;
    QPointer<BVAlert> installAlert_;

    QString pictureUrl_;
    quint64 pictureRequest_ = 0;  // only the newest fetch may set the picture
};

}  // namespace brelvo
