#include "platform/Screen.h"

#include "platform/AppInfo.h"

#include <QApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace brelvo::screen {
namespace {

QPointer<QWidget>& chosen() {
    static QPointer<QWidget> window;
    return window;
}

}  // namespace

QWidget* window() {
    if (chosen()) return chosen();
    // The application's windows in creation order: the first visible widget window is the screen.
    for (QWindow* w : QGuiApplication::topLevelWindows()) {
        if (!w->isVisible()) continue;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (widget->windowHandle() == w && widget->isVisible() && !widget->property("brelvoLayer").toBool()) {
                chosen() = widget;
                return widget;
            }
    }
    return nullptr;
}

void setWindow(QWidget* w) {
    chosen() = w;
}

QSize bounds() {
    const QWidget* w = window();
    return w ? w->size() : QSize();
}

qreal scale() {
    const QWidget* w = window();
    if (w) return w->devicePixelRatioF();
    return QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->devicePixelRatio() : 1.0;
}

int orientation() {
    const QSize size = bounds();
    const QScreen* s = window() && window()->screen() ? window()->screen() : QGuiApplication::primaryScreen();
    const Qt::ScreenOrientation o = s ? s->orientation() : Qt::PrimaryOrientation;
    if (o == Qt::InvertedPortraitOrientation) return 2;
    if (o == Qt::InvertedLandscapeOrientation) return 4;
    if (size.isValid() && size.width() > size.height()) return 3;
    if (o == Qt::LandscapeOrientation) return 3;
    return 1;
}

bool isTablet() {
    return appinfo::value(QStringLiteral("brelvo_idiom")).toString().compare(QLatin1String("tablet"), Qt::CaseInsensitive) == 0;
}

}  // namespace brelvo::screen
