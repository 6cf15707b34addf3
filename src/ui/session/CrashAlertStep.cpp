#include "ui/session/CrashAlertStep.h"

#include "diagnostics/CrashWatchdog.h"
#include "diagnostics/ErrorHandlerFile.h"
#include "state/SharedState.h"
#include "ui/session/BVAlert.h"
#include "ui/session/BrelvoWindow.h"
#include "ui/session/CustomViewBrelvo.h"
#include "ui/session/OverlayControl.h"

#include <QCoreApplication>
#include <QEasingCurve>
#include <QGuiApplication>
#include <QPointer>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScreen>

namespace brelvo::crashalert {

namespace {

const QString kAlertTitle = QStringLiteral("Error is caught");
const QString kAlertMessage = QStringLiteral("Unhandled exception is caught and sent to the server");
const QString kAlertButton = QStringLiteral("YES");

// "YES" lets the handling step end the process.
class CrashAlertDelegate : public BVAlertDelegate {
public:
    void successButtonPressed() override { SharedState::shared().setDismissed(true); }
};
CrashAlertDelegate g_alertDelegate;

BVAlert* newAlert() {
    auto* alert = new BVAlert(kAlertTitle, kAlertMessage, QString(), kAlertButton);
    alert->setBvAlertDelegate(&g_alertDelegate);
    BVAlert::show(alert);
    return alert;
}

// The overlay window glides to the screen's centre and comes to the front.
void bringOverlayForward() {
    BrelvoWindow* window = overlay::window();
    if (!window) return;
    if (QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen()) {
        QRect target = window->frameGeometry();
        target.moveCenter(screen->geometry().center());
        auto* animation = new QPropertyAnimation(window, "pos", window);
        animation->setObjectName(QStringLiteral("make brel test animate"));
        animation->setDuration(500);
        animation->setEasingCurve(QEasingCurve::OutCubic);
        animation->setEndValue(target.topLeft());
        animation->start(QAbstractAnimation::DeleteWhenStopped);
    }
    overlay::makeKeyAndVisible();
}

void run(CustomViewBrelvo* panel, bool autoConfirm) {
    if (panel) {
        if (!panel->libIsShown()) bringOverlayForward();
        panel->hideMainBtn();
    }
    BVAlert* alert = newAlert();
    errorhandler::setAppStatus(2);
    crash::noteAwaitingTester();  // the report is out: from here on the tester decides

    QPointer<BVAlert> shown(alert);
    bool pressed = false;
    while (!SharedState::shared().dismissed()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        if (autoConfirm && !pressed && shown && shown->isVisible() && shown->otherButton()) {
            // Through the real button, as a tester's click would go.
            QMetaObject::invokeMethod(shown->otherButton(), "click", Qt::QueuedConnection);
            pressed = true;
        }
    }
}

// The switch decides when it is set: "1" answers, any other value ("0") waits
// for the tester. Unset, the alert answers itself only where no one can see or
// click it, so an unattended process ends instead of waiting forever.
bool autoConfirms() {
    const QByteArray value = qgetenv("BRELVO_CRASH_AUTO_CONFIRM");
    if (!value.isEmpty()) return value == "1";
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}

}  // namespace

std::function<void()> step(std::function<CustomViewBrelvo*()> panel) {
    const bool autoConfirm = autoConfirms();
    return [panel = std::move(panel), autoConfirm] { run(panel ? panel() : nullptr, autoConfirm); };
}

void showAlert() {
    newAlert();
}

}  // namespace brelvo::crashalert
