#pragma once

#include "ui/common/ViewTagNumbers.h"
#include "ui/session/BVAlert.h"
#include "ui/session/SessionController.h"

#include <QPointer>
#include <QStringList>
#include <QVariant>
#include <QWidget>

#include <QMutex>

#include <atomic>

class QAbstractButton;
class QLabel;
class QTimer;

namespace brelvo {

class FeedbackViewControllerBrelvo;
class RequirementsSource;
class RequirementsViewController;

// The menu panel: the overlay window's root view. It opens and closes the
// menu by moving the whole overlay window on and off the screen, and holds the
// session's shared screens. Lives as long as the application. Its session
// operations hand the service work to the SessionController and show what
// comes back.
class CustomViewBrelvo : public QWidget, public BVAlertDelegate, private SessionView {
    Q_OBJECT
public:
    static constexpr int kLoadingLockScreenTag = viewtags::kLoadingLockScreen;
    static constexpr int kLockScreenTag = viewtags::kLockScreen;

    explicit CustomViewBrelvo(QWidget* parent = nullptr);
    ~CustomViewBrelvo() override;

    // ---- the session ------------------------------------------------------
    // Authenticates the device and build; the answer decides between working
    // online, from the cached authentication, or locked. The argument is not used.
    void authentication(const QString& unused = QString());
    void authenticationSuccess();
    // The answer's "error" text; none when the text is not JSON or has none.
    static QString getError(const QString& answer);
    // Fetches the tester's running requirement (blocking: call off the GUI thread).
    QVariant getAndAnalizeActiveRequirement();
    void updateActiveRequirement(const QVariant& requirement);
    void hideActiveRequirementElements(bool hide);
    // Fetches the requirement list, sorted by priority (highest first), and
    // hands it to the requirements screen.
    void getRequirements();
    // Makes the requirements screen on first use and shows it over the menu.
    void showRequirementsScreen();
    void successButtonPressed() override;  // the confirming button of this panel's alerts
    void showLockScreenLIBLoading();
    void showLockScreenLIB();
    void makeProfileRequest();
    void showUserProfileScreen();
    void setupImageForUserButtonFromResponse();
    bool reachable();
    // Fills the application box from the authentication's revision.
    void setAppView();
    // Creates the issue form once (sized to the screen, with the session's
    // issue types and priorities) and refreshes its choices and screenshots.
    void initFeedbackViewController();
    FeedbackViewControllerBrelvo* issueForm() const;
    // "Post issue" and "CallPostIssue": the issue form over the open menu.
    void btnPostIssuePressed();
    // Shows the form over the panel, above whatever screen it had opened.
    void presentIssueForm();

    // ---- the offline badge ------------------------------------------------
    static constexpr int kOfflineBadgeTag = viewtags::kOfflineBadge;
    static constexpr int kOfflineCheckIntervalMs = 2000;
    // Checks the service's host on the pool and badges the slider while it
    // cannot be reached; a check still running covers the next call.
    void showOfflineSign();
    // Adds the one badge to the slider, or removes it. GUI thread.
    void setOfflineBadge(bool offline);
    // Called each time the menu is about to show: the tester's picture, from
    // the image cache or else from the copy kept under "BrelUserImage".
    void viewWillAppear();
    static constexpr const char* kUserImageKey = "BrelUserImage";

    QStringList users() const;
    QVariantList requirements() const;
    // What the requirements screen shows; getRequirements hands it each list
    // it fetched (the pending tab's first page and the running requirement).
    RequirementsSource* requirementsSource() const { return requirementsSource_; }
    // The requirements screen, once a fetch has made it.
    RequirementsViewController* requirementsView() const;
    bool switchUser() const { return switchUser_; }
    void setSwitchUser(bool value) { switchUser_ = value; }

    // Opens (true) or closes the menu over the given number of seconds.
    void showBrelMenu(bool open, double seconds);
    // Makes the menu's views, filled with what the session delivered so far.
    // Done when the menu first opens: until then it is never seen.
    virtual void ensureMenuBuilt() {}

    // Posts the floating buttons' mode (0 loading, 1 active, 2 inactive, 3 unknown revision).
    void setupMainButtonByMode(int mode);
    // The mode last requested: 1 while the session is usable.
    int buttonMode() const { return buttonMode_.load(); }
    // Removes the panel's direct child views that carry the tag (on the GUI thread).
    void removeViewWithTag(int tag);
    // Hides the floating buttons while a full-screen screen covers the menu.
    void hideMainBtn();

    bool stateForAnimate() const { return stateForAnimate_; }
    void setStateForAnimate(bool value) { stateForAnimate_ = value; }
    bool libIsShown() const { return libIsShown_; }
    int activationMode() const { return activationMode_; }
    // 0 until the first device-orientation change; then 2 (the window moves sideways).
    int myOrientation() const { return myOrientation_; }

    QStringList issueTypeIcons() const { return issueTypeIcons_; }
    QStringList issueSeverityIcons() const { return issueSeverityIcons_; }

signals:
    // The sorted requirement list and the running requirement, ready for the
    // requirements screen.
    void requirementsReady(const QVariantList& sorted, const QVariant& running);

public:
    // Called once the panel shows for the first time: watches connectivity and
    // closes the menu (at start-up it has never been opened).
    virtual void viewDidAppear();

protected:
    void setMyOrientation(int value) { myOrientation_ = value; }
    QWidget* alertDelegateView() override { return this; }
    void showLoadingView(bool show);
    void setUserPicture(const QImage& image);
    // Shows what the session delivered in the menu's views, once they exist.
    void showSessionInMenu();

    // The panel's elements, made by the phone panel's interface.
    QLabel* userIcon_ = nullptr;
    QLabel* appTitle_ = nullptr;
    QLabel* appCompany_ = nullptr;
    QLabel* appRevision_ = nullptr;
    QLabel* lblRevisionTitle_ = nullptr;
    QLabel* lblRevisionBuild_ = nullptr;
    QLabel* lblRequirementsCode_ = nullptr;
    QLabel* lblREvisionExpResultText_ = nullptr;
    QLabel* lblRevisionExpRes_ = nullptr;
    QLabel* lblPriority_ = nullptr;
    QList<QWidget*> activeRequirementElements_;  // shown and hidden together
    QAbstractButton* btnRequirements_ = nullptr;
    QAbstractButton* btnRequirementChoose_ = nullptr;
    QWidget* loadingView_ = nullptr;
    // What the menu shows, kept while its views do not exist yet.
    QStringList appBox_{QString(), QString(), QString()};  // title, company, build
    QVariant activeRequirement_;
    QString expectedResult_;  // the last requirement's expected result that was not empty
    QImage userPicture_;
    bool loadingShown_ = false;
    void setActivationMode(int value) { activationMode_ = value; }

    QPointer<FeedbackViewControllerBrelvo> issueView_;  // the issue form, once it exists
    QTimer* offlineTimer_ = nullptr;  // the 2-second badge check, started by the phone panel
    QStringList issueTypeIcons_;
    QStringList issueSeverityIcons_;

private:
    void setBrelvoViewsVisible(bool visible);
    void bringOverlayHome();

    // What the session delivers, on the GUI thread.
    QObject* sessionObject() override { return this; }
    void sessionButtonMode(int mode) override { setupMainButtonByMode(mode); }
    void sessionShowLock() override { showLockScreenLIB(); }
    void sessionAccepted(const AcceptedSession& session) override;
    void activeRequirementArrived(const QVariant& running) override { updateActiveRequirement(running); }
    void requirementsArrived(const QVariantList& sorted, const QVariant& running) override;
    void requirementsFinished() override;
    void userPictureArrived(const QImage& picture) override { setUserPicture(picture); }

    mutable QMutex sessionMutex_;  // users_ and requirements_ are written by service answers
    QStringList users_;
    QVariantList requirements_;
    bool switchUser_ = false;
    QPointer<RequirementsViewController> requirementsView_;  // made by the first fetch
    QPointer<QWidget> userProfileScreen_;
    RequirementsSource* requirementsSource_;  // child of this panel

    std::atomic<int> buttonMode_{0};
    int myOrientation_ = 0;
    bool stateForAnimate_ = false;
    bool libIsShown_ = false;
    int activationMode_ = 0;
    bool appeared_ = false;
    std::atomic<bool> offlineCheckRunning_{false};
};

}  // namespace brelvo
