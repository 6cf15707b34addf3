#include "ui/session/CustomViewBrelvo.h"

#include <brelvo/Brelvo.h>

#include "core/NotificationNames.h"
#include "core/UserHelperBrelvo.h"
#include "platform/Dispatch.h"
#include "platform/NotificationCenter.h"
#include "platform/Screen.h"
#include "platform/ViewTags.h"
#include "platform/WindowLayer.h"
#include "ui/session/ActivityBrelvo.h"
#include "ui/session/BrelvoWindow.h"

#include <QApplication>
#include <QTimer>

namespace brelvo {

CustomViewBrelvo::CustomViewBrelvo(QWidget* parent) : QWidget(parent) {
    UserHelperBrelvo::shared().setCustomView(this);
}

CustomViewBrelvo::~CustomViewBrelvo() {
    NotificationCenter::defaultCenter().removeObserver(this);
    if (UserHelperBrelvo::shared().customView() == this) UserHelperBrelvo::shared().setCustomView(nullptr);
}

void CustomViewBrelvo::viewDidAppear() {
    if (appeared_) return;
    appeared_ = true;
    const QSize size = screen::bounds();
    resize(size.width(), height());
    showBrelMenu(stateForAnimate_, 0.5);
}

void CustomViewBrelvo::setBrelvoViewsVisible(bool visible) {
    setVisible(visible);
    if (issueView_) issueView_->setVisible(visible);
}

void CustomViewBrelvo::showBrelMenu(bool open, double seconds) {
    ActivityBrelvo::shared().setToTrackActivity(!open);
    stateForAnimate_ = open;
    BrelvoWindow* window = Brelvo::shared().getBVLibWindow();
    if (!window) return;
    const QSize size = screen::bounds();
    const int w = size.width(), h = size.height();
    const int ms = qRound(seconds * 1000);

    if (myOrientation_ == 2) {
        if (open) {
            UserHelperBrelvo::shared().setIsOpen(true);
            window->animateFrame(window->frameWithCenter(QPointF(w / 2.0, h / 2.0)), ms, QEasingCurve::OutQuad);
            window->makeKeyAndVisible();
            setBrelvoViewsVisible(true);
            if (activationMode_ != 0) Brelvo::shared().hideMenuSlider();
            libIsShown_ = true;
        } else {
            UserHelperBrelvo::shared().setIsOpen(false);
            window->animateFrame(window->frameWithCenter(QPointF(-w / 2.0, h / 2.0)), ms, QEasingCurve::InQuad);
            if (QWidget* focus = QApplication::focusWidget(); focus && window->isAncestorOf(focus)) focus->clearFocus();
            windows::makeKeyAndVisible(windows::first());
            // The views go transparent once the window has left the screen.
            QTimer::singleShot(ms, this, [this] {
                if (!stateForAnimate_) setBrelvoViewsVisible(false);
            });
            libIsShown_ = false;
        }
        return;
    }
    // Before the first orientation change the window moves up and down instead.
    if (open) {
        window->animateFrame(QRect(0, 0, w, h + 20), ms, QEasingCurve::OutQuad);
        Brelvo::shared().makeBVLibWindowKeyAndVisible();
    } else {
        window->animateFrame(QRect(0, -h, w, h + 20), ms, QEasingCurve::InQuad);
        Brelvo::shared().makeAppWindowKeyAndVisible();
    }
}

void CustomViewBrelvo::setupMainButtonByMode(int mode) {
    NotificationCenter::defaultCenter().post(notifications::kButtonsState, mode);
}

void CustomViewBrelvo::removeViewWithTag(int tag) {
    dispatch::toMain([p = QPointer<CustomViewBrelvo>(this), tag] {
        if (!p) return;
        for (QObject* child : p->children()) {
            auto* view = qobject_cast<QWidget*>(child);
            if (view && tags::tag(view) == tag) {
                view->hide();
                view->setParent(nullptr);
                view->deleteLater();
            }
        }
    });
}

void CustomViewBrelvo::hideMainBtn() {
    NotificationCenter::defaultCenter().post(notifications::kBringSliderToBack);
}

}  // namespace brelvo
