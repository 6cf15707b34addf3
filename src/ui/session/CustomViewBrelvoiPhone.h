#pragma once

#include "ui/session/CustomViewBrelvo.h"

#include <QPointer>

class QPushButton;

#include "platform/MotionSource.h"

namespace brelvo {

class MotionSource;
class ImageButton;

// The menu panel that start-up installs: it reacts to the menu and
// activation notifications and, in the shake mode, to shakes of the device.
class CustomViewBrelvoiPhone : public CustomViewBrelvo {
    Q_OBJECT
public:
    // A shake over this acceleration (in g, on any one axis) opens the menu or
    // takes a screenshot.
    static constexpr double kShakeThreshold = 0.55;
    static constexpr int kMotionIntervalMs = 300;

    explicit CustomViewBrelvoiPhone(QWidget* parent = nullptr);
    ~CustomViewBrelvoiPhone() override;

    // 0 slider, 1 shake, 2 manual; anything but a number is ignored.
    void handleActivationMode(const QVariant& mode);
    // What a shake does next: 0 nothing, 1 open the menu, 2 take a screenshot.
    int mainOrScreenshot() const { return mainOrScreenshot_; }
    bool isDetectingShakes() const { return manager_ != nullptr; }

    void openMenu() { showBrelMenu(true, 0.5); }
    void closeMenu() { showBrelMenu(false, 0.5); }
    void closeMenuWithoutDuration() { showBrelMenu(false, 0); }
    void backMenuButtonAction();
    void btnUserPressed();
    void btnRequirementsPressed();
    void btnMakeScreenshotPressedAction();
    void ensureMenuBuilt() override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void createGUI();
    void layoutMenu();
    void registerObservers();
    void activationModeForShake();
    void stopMotion();
    void onMotion(const QVector3D& g);

    int mainOrScreenshot_ = 0;
    QPointer<MotionSource> manager_;
    quint64 mainOrScreenshotObserver_ = 0;
    ImageButton* backButton_ = nullptr;
    ImageButton* userButton_ = nullptr;
    QWidget* appBox_ = nullptr;
    QLabel* appIcon_ = nullptr;
    QWidget* requirementBox_ = nullptr;
    QLabel* subjectCaption_ = nullptr;
    QPushButton* postIssueButton_ = nullptr;
};

}  // namespace brelvo
