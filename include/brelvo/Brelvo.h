#pragma once

// libbrelvo: in-app beta testing for Qt applications.
//
//   #include <brelvo/Brelvo.h>
//   ...
//   mainWindow.show();
//   brelvo::Brelvo::shared().initializeWithOptions(brelvo::Brelvo::ShakeActivation);
//
// The project's API key comes from the application object's property
// "brelvo_project_id" (or the environment variable BRELVO_PROJECT_ID), the
// service's address from "brelvo_service_url" (BRELVO_SERVICE_URL).

#include <QRect>
#include <QString>
#include <QVariant>

#include <memory>

class QImage;
class QWidget;

namespace brelvo {

class CustomViewBrelvo;
class LockScreenViewControllerBrelvo;
class UserProfileViewController;
class BrelvoWindow;

// The library's version text, as the "libInfo" resource states it.
QString libraryVersion();

class Brelvo {
public:
    // Bits of the option mask of initializeWithOptions.
    enum Option : int {
        SliderActivation = 0x00,  // the floating button opens the menu (neither bit below)
        ShakeActivation = 0x02,   // a shake of the device opens the menu
        ManualActivation = 0x04,  // the host calls showMenu() and makeScreenshot() itself
        LockingMode = 0x10,       // a refused cached session locks the application
    };

    // The one instance; created on first use, never destroyed.
    static Brelvo& shared();

    // Start the library, once, on the GUI thread, after the main window is shown.
    void initialize();
    void initialize(int lockingMode);
    void initializeWithOptions(int options);

    void showMenu();
    void hideMenu();
    void showMenuSlider();
    void hideMenuSlider();
    void makeScreenshot();
    bool isOnline();

    QString apiKey() const;
    void setApiKey(const QString& key);
    int lockingMode() const;
    void setLockingMode(int mode);
    bool autoUpdate() const;
    void setAutoUpdate(bool on);
    bool isInit() const;
    void setIsInit(bool on);
    bool isHide() const;
    bool isOpenGL() const;
    void setIsOpenGL(bool on);
    bool offlineMode() const;
    void setOfflineMode(bool on);
    double brelTrigger() const;
    void setBrelTrigger(double value);
    bool isError() const;
    void setIsError(bool on);

    // Used by the library's own components (and open to the host).
    CustomViewBrelvo* mainView() const;
    LockScreenViewControllerBrelvo* lockScreen() const;
    UserProfileViewController* userProfileScreen() const;

    void initializeBrelvo();
    void installBrelvoLib();
    void addNewTopWindowToApplication();
    BrelvoWindow* getBVLibWindow() const;
    void makeBVLibWindowKeyAndVisible();
    void makeAppWindowKeyAndVisible();
    void showLockScreen();
    void removeLockScreen();
    void showUserProfileScreen();
    void removeUserProfileScreen();
    void showIpadSoomingSoonScreen();
    QImage getImageWithName(const QString& name) const;
    bool reachable();
    bool isEmulator() const;
    bool isIpad() const;
    bool canInstallBrelvoMenu();
    void makeAppExit();
    bool dismissed() const;
    void successButtonPressed();
    QString encodeToBase64String(const QString& text) const;
    QRect getRectByOrientation() const;
    // A return key ends editing of the text view; every other change is allowed.
    bool textViewShouldChangeText(QWidget* textView, const QString& replacement);
    QString getPhoneState() const;

    // The host's log lines, queued for the service (level 2 info, 1 warning, 0 error).
    void BVLog(const QString& text, const QVariant& level);
    void BVLog(const QString& text, int level);

    ~Brelvo();

private:
    Brelvo();
    Brelvo(const Brelvo&) = delete;
    Brelvo& operator=(const Brelvo&) = delete;
    struct Impl;
    std::unique_ptr<Impl> d;
};

}  // namespace brelvo
