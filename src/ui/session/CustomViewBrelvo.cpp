#include "ui/session/CustomViewBrelvo.h"

#include "platform/Defaults.h"
#include "platform/Dispatch.h"
#include "platform/Json.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/Screen.h"
#include "platform/ViewTags.h"
#include "platform/WindowLayer.h"
#include "protocol/Connectivity.h"
#include "state/BrelAuthenticationDM.h"
#include "protocol/NetworkClientBrelvo.h"
#include "state/NotificationNames.h"
#include "state/SharedState.h"
#include "state/UserHelperBrelvo.h"
#include "ui/common/Texts.h"
#include "ui/images/BrelvoImageManager.h"
#include "ui/images/imageCAcheBrelvo.h"
#include "ui/issue/FeedbackViewControllerBrelvo.h"
#include "ui/issue/IssueChoices.h"
#include "ui/issue/IssueOutbox.h"
#include "ui/requirements/RequirementReporter.h"
#include "ui/requirements/RequirementsSource.h"
#include "ui/requirements/RequirementsViewController.h"
#include "ui/session/ActivityBrelvo.h"
#include "ui/session/BrelvoWindow.h"
#include "ui/session/LockScreenViewControllerBrelvo.h"
#include "ui/session/OverlayControl.h"
#include "ui/session/UserProfileViewController.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>


namespace brelvo {

CustomViewBrelvo::CustomViewBrelvo(QWidget* parent)
    : QWidget(parent), requirementsSource_(new RequirementsSource(this)) {
    UserHelperBrelvo::shared().setCustomView(this);
}

CustomViewBrelvo::~CustomViewBrelvo() {
    NotificationCenter::defaultCenter().removeObserver(this);
    if (UserHelperBrelvo::shared().customView() == this) UserHelperBrelvo::shared().setCustomView(nullptr);
}

void CustomViewBrelvo::viewDidAppear() {
    if (appeared_) return;
    appeared_ = true;
    // Each change of the network badges the slider, tells the form, and sends
    // the issues that wait; one check at once covers what waits from earlier runs.
    IssueOutbox& outbox = IssueOutbox::shared();
    connect(&outbox, &IssueOutbox::serviceReachable, this, [this](bool reachable) {
        setOfflineBadge(!reachable);
        if (issueView_) issueView_->showOfflineModeMessage(!reachable);
        if (reachable) RequirementReporter::shared().deliver();
    });
    outbox.startWatchingNetwork();
    outbox.networkChanged();
    const QSize size = screen::bounds();
    resize(size.width(), height());
    showBrelMenu(stateForAnimate_, 0.5);
}

void CustomViewBrelvo::viewWillAppear() {
    const std::optional<BrelPayloadDM> payload = BrelAuthenticationDM::shared().payload();
    const std::optional<BrelUserDM> user = payload ? payload->user() : std::nullopt;
    const QString url = user ? user->image() : QString();
    QPointer<CustomViewBrelvo> self(this);
    // The cache may have to fetch the picture: off the GUI thread.
    dispatch::toGlobal([self, url] {
        const QString key = QString::fromLatin1(kUserImageKey);
        QImage picture = url.isEmpty() ? QImage() : imageCAcheBrelvo::shared().getImageByURL(url);
        if (!picture.isNull()) {
            QByteArray png;
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            picture.save(&buffer, "PNG");
            if (Defaults::standard().object(key).toByteArray() != png) Defaults::standard().setObject(png, key);
        } else {
            // The copy from an earlier session; damaged bytes leave the placeholder.
            const QVariant kept = Defaults::standard().object(key);
            if (kept.typeId() == QMetaType::QByteArray) picture = QImage::fromData(kept.toByteArray());
            if (kept.isValid() && picture.isNull()) qCWarning(lcBrelvo) << "the kept user picture is unreadable";
        }
        if (picture.isNull()) return;
        dispatch::toMain([self, picture] {
            if (self) self->setUserPicture(picture);
        });
    });
}

void CustomViewBrelvo::setBrelvoViewsVisible(bool visible) {
    // The issue form lies inside the panel: it comes and goes with it, and
    // shows only when it was presented.
    setVisible(visible);
}

void CustomViewBrelvo::showBrelMenu(bool open, double seconds) {
    ActivityBrelvo::shared().setToTrackActivity(!open);
    stateForAnimate_ = open;
    BrelvoWindow* window = overlay::window();
    if (!window) return;
    const QSize size = screen::bounds();
    const int w = size.width(), h = size.height();
    const int ms = qRound(seconds * 1000);

    if (open) {
        ensureMenuBuilt();
        viewWillAppear();
    }
    if (myOrientation_ == 2) {
        if (open) {
            UserHelperBrelvo::shared().setIsOpen(true);
            window->animateFrame(window->frameWithCenter(QPointF(w / 2.0, h / 2.0)), ms, QEasingCurve::OutQuad);
            window->makeKeyAndVisible();
            setBrelvoViewsVisible(true);
            if (activationMode_ != 0) overlay::hideMenuSlider();
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
        overlay::makeKeyAndVisible();
    } else {
        window->animateFrame(QRect(0, -h, w, h + 20), ms, QEasingCurve::InQuad);
        overlay::makeAppWindowKeyAndVisible();
    }
}

void CustomViewBrelvo::setupMainButtonByMode(int mode) {
    buttonMode_ = mode;
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

// ---- the session -----------------------------------------------------------

namespace brelvo {

QString CustomViewBrelvo::getError(const QString& answer) {
    const QVariant error = json::parse(answer.toUtf8()).toMap().value(QStringLiteral("error"));
    return error.typeId() == QMetaType::QString ? error.toString() : QString();
}

bool CustomViewBrelvo::reachable() {
    return connectivity::reachable();
}

QStringList CustomViewBrelvo::users() const {
    QMutexLocker lock(&sessionMutex_);
    return users_;
}

QVariantList CustomViewBrelvo::requirements() const {
    QMutexLocker lock(&sessionMutex_);
    return requirements_;
}

void CustomViewBrelvo::authentication(const QString&) {
    setupMainButtonByMode(0);
    QPointer<CustomViewBrelvo> self(this);
    // The request starts once the loading screen has put its message in the
    // shared record, so that the answer's message is never overwritten by it.
    dispatch::toMain([self] {
        if (!self) return;
        self->showLockScreenLIBLoading();
        SessionController::shared().authenticate(self.data());
    });
}

void CustomViewBrelvo::authenticationSuccess() {
    SessionController::shared().acceptSession(this);
}

void CustomViewBrelvo::sessionAccepted(const AcceptedSession& session) {
    {
        QMutexLocker lock(&sessionMutex_);
        users_ = session.users;
    }
    setupImageForUserButtonFromResponse();
    issueTypeIcons_ = session.issueTypeIcons;
    issueSeverityIcons_ = session.issueSeverityIcons;
    initFeedbackViewController();
    setAppView();
    setupMainButtonByMode(1);
    // The loading screen leaves the menu bare where the overlay is still on
    // screen (sliding away at start-up): the menu must be there to be seen.
    if (BrelvoWindow* window = overlay::window();
        window && window->frame().intersects(QRect(QPoint(0, 0), screen::bounds())))
        ensureMenuBuilt();
    removeViewWithTag(kLoadingLockScreenTag);
}

void CustomViewBrelvo::initFeedbackViewController() {
    QPointer<CustomViewBrelvo> self(this);
    auto prepare = [self] {
        if (!self) return;
        if (!self->issueView_) {
            auto* form = new FeedbackViewControllerBrelvo(self);
            form->hide();
            form->setCloseMenu([self] {
                if (self) self->showBrelMenu(false, 0.5);
            });
            self->issueView_ = form;
        }
        self->issueView_->setGeometry(QRect(QPoint(0, 0), screen::bounds()));
        // The session's current types and priorities, as one snapshot.
        self->issueView_->setChoices(IssueChoices::fromCurrentPayload(), self->issueTypeIcons_,
                                     self->issueSeverityIcons_);
        self->issueView_->rebuildScrollView();
    };
    if (dispatch::isMainThread())
        prepare();
    else
        dispatch::toMain(prepare);
}

FeedbackViewControllerBrelvo* CustomViewBrelvo::issueForm() const {
    return issueView_.data();
}

void CustomViewBrelvo::presentIssueForm() {
    if (!issueView_) return;
    issueView_->setGeometry(QRect(QPoint(0, 0), screen::bounds()));
    issueView_->show();
    issueView_->raise();
    issueView_->updateActiveRequirement();
}

void CustomViewBrelvo::btnPostIssuePressed() {
    NotificationCenter& center = NotificationCenter::defaultCenter();
    center.post(notifications::kRemoveCaseView);
    center.post(notifications::kMainOrScreenshot, 0);
    initFeedbackViewController();
    presentIssueForm();
    center.post(notifications::kUpdateActiveRequirement);
}

void CustomViewBrelvo::showOfflineSign() {
    if (offlineCheckRunning_.exchange(true)) return;
    QPointer<CustomViewBrelvo> self(this);
    // Name resolution may take seconds: never on the GUI thread.
    dispatch::toGlobal([self] {
        const bool reachable = connectivity::serviceReachable();
        dispatch::toMain([self, reachable] {
            if (!self) return;
            self->offlineCheckRunning_ = false;
            self->setOfflineBadge(!reachable);
        });
    });
}

void CustomViewBrelvo::setOfflineBadge(bool offline) {
    QAbstractButton* slider = UserHelperBrelvo::shared().sliderButton();
    if (!slider) return;
    QWidget* badge = tags::viewWithTag(slider, kOfflineBadgeTag);
    if (!offline) {
        delete badge;
        return;
    }
    if (!badge) {
        auto* label = new QLabel(slider);
        tags::setTag(label, kOfflineBadgeTag);
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        label->setScaledContents(true);
        label->setPixmap(QPixmap::fromImage(BrelvoImageManager::sharedInstance().getImageForKey(QStringLiteral("offline"))));
        label->setGeometry(9, 43, 29, 11);
        badge = label;
    }
    badge->show();
    badge->raise();
}

void CustomViewBrelvo::setAppView() {
    const std::optional<BrelPayloadDM> payload = BrelAuthenticationDM::shared().payload();
    const std::optional<BrelRevisionDM> revision = payload ? payload->revision() : std::nullopt;
    const QString title = revision ? revision->project() : QString();
    const QString company = revision ? revision->organization() : QString();
    const QString build = revision ? revision->build_number() : QString();
    UserHelperBrelvo::shared().setTitleCompany(company);
    UserHelperBrelvo::shared().setRevisionNumber(build);
    appBox_ = {title, company, build};
    if (appTitle_) appTitle_->setText(title);
    if (appCompany_) appCompany_->setText(company);
    if (appRevision_) appRevision_->setText(build);
    NotificationCenter::defaultCenter().post(notifications::kUpdateAppInfo);
}

void CustomViewBrelvo::setupImageForUserButtonFromResponse() {
    const QStringList tester = users();
    const QString image = tester.value(1);
    if (image.isEmpty()) return;
    SessionController::shared().loadUserPicture(this, image);
}

void CustomViewBrelvo::setUserPicture(const QImage& image) {
    userPicture_ = image;
    if (!userIcon_) return;
    const QSize size = userIcon_->size() * userIcon_->devicePixelRatioF();
    QImage rounded(size, QImage::Format_ARGB32_Premultiplied);
    rounded.fill(Qt::transparent);
    QPainter p(&rounded);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath clip;
    clip.addEllipse(QRectF(QPointF(0, 0), QSizeF(size)));
    p.setClipPath(clip);
    p.drawImage(QRect(QPoint(0, 0), size), image);
    p.end();
    rounded.setDevicePixelRatio(userIcon_->devicePixelRatioF());
    userIcon_->setPixmap(QPixmap::fromImage(rounded));
}

QVariant CustomViewBrelvo::getAndAnalizeActiveRequirement() {
    return SessionController::shared().activeRequirement(this);
}

void CustomViewBrelvo::hideActiveRequirementElements(bool hide) {
    for (QWidget* w : std::as_const(activeRequirementElements_)) w->setHidden(hide);
}

void CustomViewBrelvo::updateActiveRequirement(const QVariant& requirement) {
    activeRequirement_ = requirement;
    if (requirement.typeId() == QMetaType::QVariantMap) {
        const QVariant expected = requirement.toMap().value(QStringLiteral("exp_result"));
        if (expected.typeId() == QMetaType::QString && !expected.toString().isEmpty()) expectedResult_ = expected.toString();
    } else {
        expectedResult_.clear();
    }
    if (!lblRevisionTitle_) return;
    if (requirement.typeId() == QMetaType::QVariantMap) {
        const QVariantMap r = requirement.toMap();
        hideActiveRequirementElements(false);
        lblRevisionTitle_->setText(QStringLiteral("TESTCASE"));
        lblRevisionBuild_->setText(r.value(QStringLiteral("number")).toString());
        lblRequirementsCode_->setText(r.value(QStringLiteral("title")).toString());
        lblREvisionExpResultText_->setText(expectedResult_);
        lblRevisionExpRes_->setHidden(lblREvisionExpResultText_->text().isEmpty());
        const QVariant priority = r.value(QStringLiteral("priority"));
        lblPriority_->setText(UserHelperBrelvo::shared().getPriorityByPriorityNumber(priority));
        const QColor colour = UserHelperBrelvo::getColorForActivePriorityByPriorityNumber(priority);
        lblPriority_->setStyleSheet(QStringLiteral("background: transparent; font: bold 11px; color: %1;")
                                        .arg(colour.isValid() ? colour.name() : QStringLiteral("#888888")));
        if (btnRequirements_) btnRequirements_->hide();
    } else {
        hideActiveRequirementElements(true);
        lblRequirementsCode_->clear();
        lblPriority_->clear();
        lblREvisionExpResultText_->clear();
        lblRevisionTitle_->setText(QStringLiteral("TEST"));
        lblRevisionTitle_->show();
        if (btnRequirements_) btnRequirements_->show();
    }
}

void CustomViewBrelvo::showSessionInMenu() {
    if (appTitle_) appTitle_->setText(appBox_.value(0));
    if (appCompany_) appCompany_->setText(appBox_.value(1));
    if (appRevision_) appRevision_->setText(appBox_.value(2));
    updateActiveRequirement(activeRequirement_);
    if (!userPicture_.isNull()) setUserPicture(userPicture_);
    showLoadingView(loadingShown_);
}

void CustomViewBrelvo::getRequirements() {
    if (!SharedState::shared().isInit()) return;
    showLoadingView(true);
    SessionController::shared().fetchRequirements(this);
}

void CustomViewBrelvo::requirementsArrived(const QVariantList& sorted, const QVariant& running) {
    {
        QMutexLocker lock(&sessionMutex_);
        requirements_ = sorted;
    }
    updateActiveRequirement(running);
    requirementsSource_->takeList(sorted, running);
    showRequirementsScreen();
    emit requirementsReady(sorted, running);
}

RequirementsViewController* CustomViewBrelvo::requirementsView() const {
    return requirementsView_.data();
}

void CustomViewBrelvo::showRequirementsScreen() {
    if (!requirementsView_) {
        requirementsView_ = new RequirementsViewController(requirementsSource_, this);
        connect(requirementsView_, &RequirementsViewController::activeRequirementChanged, this,
                &CustomViewBrelvo::updateActiveRequirement);
        connect(requirementsView_, &RequirementsViewController::menuRequested, this, [this] { showBrelMenu(true, 0.5); });
    }
    requirementsView_->updateRunning();
    requirementsView_->setGeometry(QRect(QPoint(0, 0), screen::bounds()));
    requirementsView_->show();
    requirementsView_->raise();
    // A test under way opens straight on its page.
    const int running = NetworkClientBrelvo::shared().rrid().toInt();
    if (running >= 1) {
        requirementsView_->createRequirementView();
        NotificationCenter::defaultCenter().post(notifications::kUpdateRequirement, running);
    }
}

void CustomViewBrelvo::requirementsFinished() {
    QTimer::singleShot(500, this, [this] { showLoadingView(false); });
}

void CustomViewBrelvo::showLoadingView(bool show) {
    loadingShown_ = show;
    if (!loadingView_) return;
    loadingView_->setVisible(show);
    if (show) loadingView_->raise();
}

void CustomViewBrelvo::successButtonPressed() {
    if (switchUser_) {
        switchUser_ = false;
        return;
    }
    authentication(QString());
}

void CustomViewBrelvo::bringOverlayHome() {
    // A lock screen must be seen and must take the input: the overlay comes on
    // screen for it, whether or not the menu was open.
    BrelvoWindow* window = overlay::window();
    if (!window) return;
    const QSize size = screen::bounds();
    window->setFrame(window->frameWithCenter(QPointF(size.width() / 2.0, size.height() / 2.0)));
    windows::makeKeyAndVisible(window);
}

void CustomViewBrelvo::showLockScreenLIBLoading() {
    QPointer<CustomViewBrelvo> self(this);
    auto show = [self] {
        if (!self) return;
        UserHelperBrelvo::shared().setErrorMessage(texts::loadingMessage());
        if (!tags::viewWithTag(self, kLoadingLockScreenTag)) LockScreenViewControllerBrelvo::showLoadingOver(self);
    };
    // On the GUI thread at once, so that whatever is queued after it sees the loading state.
    if (dispatch::isMainThread())
        show();
    else
        dispatch::toMain(show);
}

void CustomViewBrelvo::showLockScreenLIB() {
    QPointer<CustomViewBrelvo> self(this);
    dispatch::toMain([self] {
        if (!self) return;
        BrelvoWindow* window = overlay::window();
        if (!window) return;
        self->removeViewWithTag(kLoadingLockScreenTag);
        if (auto* shown = qobject_cast<LockScreenViewControllerBrelvo*>(tags::viewWithTag(window, kLockScreenTag)))
            shown->setupWithErrorInfo();
        else
            LockScreenViewControllerBrelvo::showOver(window, kLockScreenTag);
        self->bringOverlayHome();
    });
}

void CustomViewBrelvo::makeProfileRequest() {
    showUserProfileScreen();
}

void CustomViewBrelvo::showUserProfileScreen() {
    QPointer<CustomViewBrelvo> self(this);
    dispatch::toMain([self] {
        if (!self) return;
        if (!self->userProfileScreen_) {
            auto* profile = new UserProfileViewController(self);
            self->userProfileScreen_ = profile;
            connect(profile, &UserProfileViewController::dismissRequested, self, [profile] { profile->hide(); });
        }
        self->userProfileScreen_->setGeometry(QRect(QPoint(0, 0), screen::bounds()));
        self->userProfileScreen_->show();
        self->userProfileScreen_->raise();
    });
}

}  // namespace brelvo
