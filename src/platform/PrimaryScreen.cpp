#include "platform/PrimaryScreen.h"

#include "platform/Dispatch.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>

#include <atomic>

namespace brelvo::primaryscreen {
namespace {

QScreen* primaryScreen() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::primaryScreen() : nullptr;
}

// The phone state is also built on the crash path, on whatever thread failed,
// possibly while the GUI thread is stuck: it must never wait for the GUI
// thread. So the GUI thread keeps the last known orientation here.
std::atomic<int> g_orientation{0};
std::atomic<bool> g_orientationWatchRequested{false};

void updateOrientation(const QScreen* screen) {
    if (screen) g_orientation = deviceOrientationFor(screen->orientation());
}

void watchOrientationOnGuiThread() {
    static bool installed = false;
    if (installed) return;
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app) return;
    installed = true;
    static QMetaObject::Connection screenConnection;
    const auto follow = [app](QScreen* screen) {
        QObject::disconnect(screenConnection);
        if (!screen) return;
        screenConnection = QObject::connect(screen, &QScreen::orientationChanged, app,
                                            [screen](Qt::ScreenOrientation) { updateOrientation(screen); });
        updateOrientation(screen);
    };
    follow(QGuiApplication::primaryScreen());
    QObject::connect(app, &QGuiApplication::primaryScreenChanged, app, follow);
}

}  // namespace

// Screens belong to the GUI thread. These documents are never built on the
// crash path, so waiting for the GUI thread is fine here.
Facts facts() {
    Facts facts;
    dispatch::toMainAndWait([&facts] {
        if (const QScreen* screen = primaryScreen()) {
            const QRect geometry = screen->geometry();
            facts.width = geometry.width();
            facts.height = geometry.height();
            facts.scale = screen->devicePixelRatio();
        }
    });
    return facts;
}

void watchOrientation() {
    if (dispatch::isMainThread()) {
        watchOrientationOnGuiThread();
    } else if (!g_orientationWatchRequested.exchange(true)) {
        dispatch::toMain(watchOrientationOnGuiThread);
    }
}

int orientation() {
    if (dispatch::isMainThread()) {
        watchOrientationOnGuiThread();
        updateOrientation(primaryScreen());
    } else {
        watchOrientation();
    }
    return g_orientation;
}

int deviceOrientationFor(int screenOrientation) {
    // Qt's portrait is landscape turned a quarter clockwise, so its landscape
    // is a portrait device turned a quarter counter-clockwise: top edge to the
    // left, which is landscape left (3); inverted landscape is the other
    // quarter turn, landscape right (4).
    switch (screenOrientation) {
    case Qt::PortraitOrientation: return 1;
    case Qt::InvertedPortraitOrientation: return 2;
    case Qt::LandscapeOrientation: return 3;
    case Qt::InvertedLandscapeOrientation: return 4;
    default: return 0;
    }
}

}  // namespace brelvo::primaryscreen
