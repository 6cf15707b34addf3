#pragma once

#include <QPointer>
#include <QStringList>
#include <QVariant>
#include <QWidget>

namespace brelvo {

// The menu panel: the overlay window's root view. It opens and closes the
// menu by moving the whole overlay window on and off the screen, and holds the
// session's shared screens. Lives as long as the application.
class CustomViewBrelvo : public QWidget {
    Q_OBJECT
public:
    explicit CustomViewBrelvo(QWidget* parent = nullptr);
    ~CustomViewBrelvo() override;

    // Opens (true) or closes the menu over the given number of seconds.
    void showBrelMenu(bool open, double seconds);

    // Posts the floating buttons' mode (0 loading, 1 active, 2 inactive, 3 unknown revision).
    void setupMainButtonByMode(int mode);
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

    // Called once the panel shows for the first time: watches connectivity and
    // closes the menu (at start-up it has never been opened).
    virtual void viewDidAppear();

protected:
    void setMyOrientation(int value) { myOrientation_ = value; }
    void setActivationMode(int value) { activationMode_ = value; }

    QPointer<QWidget> issueView_;  // the issue form, once it exists
    QStringList issueTypeIcons_;
    QStringList issueSeverityIcons_;

private:
    void setBrelvoViewsVisible(bool visible);

    int myOrientation_ = 0;
    bool stateForAnimate_ = false;
    bool libIsShown_ = false;
    int activationMode_ = 0;
    bool appeared_ = false;
};

}  // namespace brelvo
