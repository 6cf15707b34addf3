#include "ui/session/UserProfileViewController.h"

#include "platform/Autoresizing.h"
#include "platform/Dispatch.h"
#include "platform/ImageButton.h"
#include "platform/LibraryFont.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/Screen.h"
#include "platform/UrlOpener.h"
#include "protocol/NetworkClientBrelvo.h"
#include "state/BrelAuthenticationDM.h"
#include "state/LibrarySettings.h"
#include "ui/common/BackChevron.h"
#include "ui/common/Card.h"
#include "ui/common/InitialsPicture.h"
#include "ui/common/NavBar.h"
#include "ui/common/PictureView.h"
#include "ui/common/Texts.h"
#include "ui/images/BrelvoImageManager.h"
#include "ui/images/imageCAcheBrelvo.h"
#include "ui/session/UserProfileCell.h"

#include <QAbstractButton>
#include <QFontMetrics>
#include <QMetaMethod>
#include <QPainter>
#include <QPainterPath>
#include <QUrl>
#include <QtMath>

#include <algorithm>

namespace brelvo {
namespace {

const QColor kLogoutBlue = QColor::fromRgbF(0.125f, 0.565f, 0.753f);
const QColor kLightGrey = QColor::fromRgbF(0.902f, 0.902f, 0.902f);
const QString kRevisionTitle = QStringLiteral("REVISION");
const QString kProjectTitle = QStringLiteral("PROJECT");

// Sizes that differ between phones and tablets, in points.
struct Metrics {
    int headerHeight, bandHeight, rowHeight, picture, textLeft;
    int roleFont, nameFont, emailFont;
};

const Metrics& metrics() {
    static const Metrics phone{80, 10, 50, 40, 20, 11, 17, 13};
    static const Metrics pad{160, 20, 100, 80, 40, 16, 26, 19};
    return screen::isTablet() ? pad : phone;
}

// The bar shows the mark ("sign") beside the name. The atlas's "logo" carries
// the mark too, so only its wordmark is kept: everything after the first
// fully transparent gap. A logo in one piece is kept whole.
QImage wordmarkOf(const QImage& logo) {
    if (logo.isNull()) return logo;
    const QImage argb = logo.convertToFormat(QImage::Format_ARGB32);
    const int w = argb.width();
    auto columnEmpty = [&argb](int x) {
        for (int y = 0; y < argb.height(); ++y)
            if (qAlpha(argb.pixel(x, y)) > 0) return false;
        return true;
    };
    int x = 0;
    while (x < w && columnEmpty(x)) ++x;   // margin
    while (x < w && !columnEmpty(x)) ++x;  // the mark
    const int gap = x;
    while (x < w && columnEmpty(x)) ++x;
    if (gap == 0 || x == gap || x >= w) return logo;
    QImage words = logo.copy(x, 0, w - x, logo.height());
    words.setDevicePixelRatio(logo.devicePixelRatio());
    return words;
}

// Paints nothing: a container whose parent's painting shows through. Being a
// class of its own keeps a host style sheet's QWidget rules from giving it a
// background.
class ClearView : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
};

// A flat button of one colour with a bold title; it paints itself entirely.
class FlatButton : public QAbstractButton {
    Q_OBJECT
public:
    FlatButton(const QString& title, QColor background, QColor pressedBackground, QColor titleColor,
               QColor pressedTitle, QWidget* parent)
        : QAbstractButton(parent),
          background_(background),
          pressedBackground_(pressedBackground),
          title_(titleColor),
          pressedTitle_(pressedTitle),
          font_(libraryfont::font(20, true)) {
        setText(title);
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const bool down = isDown();
        p.fillRect(rect(), down ? pressedBackground_ : background_);
        p.setFont(font_);
        p.setPen(down ? pressedTitle_ : title_);
        p.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text());
    }

private:
    QColor background_, pressedBackground_, title_, pressedTitle_;
    QFont font_;
};

}  // namespace

UserProfileViewController::UserProfileViewController(QWidget* parent) : QWidget(parent) {
    libraryfont::adopt(this);  // the last window may be one of the host's
    createGUI();
}

UserProfileViewController::~UserProfileViewController() {
    if (installAlert_) installAlert_->setBvAlertDelegate(nullptr);
    NotificationCenter::defaultCenter().removeObserver(this);
}

void UserProfileViewController::createGUI() {
    const Metrics& m = metrics();
    const BrelvoImageManager& atlas = BrelvoImageManager::sharedInstance();

    auto* sign = new PictureView(this);
    sign->setImage(atlas.getImageForKey(QStringLiteral("sign")));
    sign_ = sign;
    auto* logo = new PictureView(this);
    logo->setImage(wordmarkOf(atlas.getImageForKey(QStringLiteral("logo"))));
    logo_ = logo;

    btnBack_ = new ImageButton(this);
    // The back arrow fills the 40 × 30 point button, at the screen's scale.
    btnBack_->setImage(backChevronImage(std::max<qreal>(1.0, screen::scale()), ChevronWeight::Regular));
    btnBack_->setCursor(Qt::PointingHandCursor);
    btnBack_->setToolTip(QStringLiteral("Back"));
    connect(btnBack_, &ImageButton::clicked, this, &UserProfileViewController::backBtnPressed);

    table_ = new ClearView(this);
    header_ = new ClearView(table_);
    userRole_ = new ProfileLabel(header_);
    userRole_->setTextFont(libraryfont::font(m.roleFont, true));
    userRole_->setTextColor(QColor(142, 142, 147));
    userName_ = new ProfileLabel(header_);
    userName_->setTextFont(libraryfont::font(m.nameFont, true));
    userName_->setTextColor(QColor(40, 40, 40));
    email_ = new ProfileLabel(header_);
    email_->setTextFont(libraryfont::font(m.emailFont, false));
    email_->setTextColor(QColor(110, 110, 115));
    userImageView_ = new PictureView(header_, true);

    revisionCell_ = new UserProfileCell(table_);
    projectCell_ = new UserProfileCell(table_);
    revisionCell_->setupWithTitle(kRevisionTitle, QString());
    projectCell_->setupWithTitle(kProjectTitle, QString());

    btnLogout_ = new FlatButton(QStringLiteral("Logout"), kLogoutBlue, kLogoutBlue.darker(120), Qt::white,
                                QColor(220, 235, 245), this);
    connect(btnLogout_, &QAbstractButton::clicked, this, &UserProfileViewController::logoutBtnPressed);
    btnBV_ = new FlatButton(QStringLiteral("Brelvo"), kLightGrey, kLightGrey.darker(125), QColor(128, 128, 128),
                            Qt::white, this);
    connect(btnBV_, &QAbstractButton::clicked, this, &UserProfileViewController::brelvoBtnPressed);

    layoutElements();
}

void UserProfileViewController::layoutElements() {
    const Metrics& m = metrics();
    const int w = width();
    const int h = height();

    btnBack_->setGeometry(7, 7, 40, 30);
    // Mark and wordmark side by side, centred in the bar.
    const QImage& words = static_cast<PictureView*>(logo_)->image();
    const int logoHeight = 20;
    const int logoWidth = words.isNull() ? 0 : qRound(logoHeight * qreal(words.width()) / words.height());
    const int signHeight = 26;
    const int signWidth = signHeight * 61 / 51;
    const int spacing = 8;
    const int left = (w - signWidth - spacing - logoWidth) / 2;
    sign_->setGeometry(left, (kBarHeight - signHeight) / 2, signWidth, signHeight);
    logo_->setGeometry(left + signWidth + spacing, (kBarHeight - logoHeight) / 2, logoWidth, logoHeight);

    // The table fills what the bar and the buttons leave; it does not scroll,
    // so rows that do not fit are cut at the buttons.
    table_->setGeometry(0, kBarHeight, w, std::max(0, h - kBarHeight - kButtonHeight));
    header_->setGeometry(0, 0, w, m.headerHeight);
    const int pictureLeft = w - m.textLeft - m.picture;
    userImageView_->setGeometry(pictureLeft, (m.headerHeight - m.picture) / 2, m.picture, m.picture);
    const int textWidth = std::max(0, pictureLeft - 12 - m.textLeft);
    const int roleHeight = QFontMetrics(userRole_->textFont()).height();
    const int nameHeight = QFontMetrics(userName_->textFont()).height();
    const int emailHeight = QFontMetrics(email_->textFont()).height();
    const int gap = screen::isTablet() ? 6 : 2;
    int y = (m.headerHeight - roleHeight - nameHeight - emailHeight - 2 * gap) / 2;
    userRole_->setGeometry(m.textLeft, y, textWidth, roleHeight);
    y += roleHeight + gap;
    userName_->setGeometry(m.textLeft, y, textWidth, nameHeight);
    y += nameHeight + gap;
    email_->setGeometry(m.textLeft, y, textWidth, emailHeight);

    revisionCell_->setGeometry(0, m.headerHeight, w, m.rowHeight);
    projectCell_->setGeometry(0, m.headerHeight + m.rowHeight + m.bandHeight, w, m.rowHeight);

    btnLogout_->setGeometry(0, h - kButtonHeight, w / 2, kButtonHeight);
    btnBV_->setGeometry(w / 2, h - kButtonHeight, w - w / 2, kButtonHeight);
}

void UserProfileViewController::resizeEvent(QResizeEvent*) {
    // The screen always covers the whole display, whatever frame its owner gave it.
    // While the widget is still being shown, that resize sends no event of
    // its own, so the layout follows here from the corrected size.
    const QSize bounds = screen::bounds();
    if (bounds.isValid() && !bounds.isEmpty() && size() != bounds) resize(bounds);
    layoutElements();
}

void UserProfileViewController::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), card::kPage);
    p.fillRect(QRect(0, 0, width(), kBarHeight), NavBar::kColour);
}

void UserProfileViewController::showEvent(QShowEvent*) {
    // Follow the host window's size changes while shown over it.
    if (parentWidget()) autoresizing::setMask(this, autoresizing::FlexibleWidth | autoresizing::FlexibleHeight);
    reloadData();
}

void UserProfileViewController::hideEvent(QHideEvent*) {
    NotificationCenter::defaultCenter().removeObserver(this);
}

void UserProfileViewController::reloadData() {
    const std::optional<BrelPayloadDM> payload = BrelAuthenticationDM::shared().payload();
    const std::optional<BrelUserDM> user = payload ? payload->user() : std::nullopt;
    const std::optional<BrelRevisionDM> revision = payload ? payload->revision() : std::nullopt;

    userRole_->setText(user ? user->role() : QString());
    userName_->setText(user ? user->full_name() : QString());
    email_->setText(LibrarySettings::sharedInstance().user().email());
    revisionCell_->setupWithTitle(kRevisionTitle, revision ? revision->title() : QString());
    projectCell_->setupWithTitle(kProjectTitle, revision ? revision->project() : QString());
    // The initials stand in for the picture until it comes, or when there is none.
    const int side = qCeil(metrics().picture * devicePixelRatioF());
    static_cast<PictureView*>(userImageView_)->setPlaceholder(initials::picture(userName_->text(), side));
    loadPicture(user ? user->image() : QString());
}

void UserProfileViewController::loadPicture(const QString& url) {
    const quint64 request = ++pictureRequest_;
    auto* picture = static_cast<PictureView*>(userImageView_);
    // Another tester's picture must not show while this one loads.
    if (url != pictureUrl_) picture->setImage(QImage());
    pictureUrl_ = url;
    if (url.isEmpty()) return;

    // The cache may have to download the picture: never on the GUI thread.
    QPointer<UserProfileViewController> self(this);
    dispatch::toGlobal([self, url, request] {
        const QImage image = imageCAcheBrelvo::shared().getImageByURL(url);
        dispatch::toMain([self, image, request] {
            if (!self || request != self->pictureRequest_) return;
            static_cast<PictureView*>(self->userImageView_)->setImage(image);
        });
    });
}

QImage UserProfileViewController::userImage() const {
    return static_cast<const PictureView*>(userImageView_)->image();
}

void UserProfileViewController::backBtnPressed() {
    if (isSignalConnected(QMetaMethod::fromSignal(&UserProfileViewController::dismissRequested))) {
        emit dismissRequested();
        return;
    }
    // Added to a window or to the overlay's view with nobody to close it:
    // leave by itself, and stay alive for the owner's next showing.
    hide();
    setParent(nullptr);
}

void UserProfileViewController::logoutBtnPressed() {
    const QString url = LibrarySettings::sharedInstance().logoutURLScheme();
    tryToOpenURL(url);
    qCInfo(lcBrelvo).noquote() << QStringLiteral("logoutURL: %1").arg(url);
}

void UserProfileViewController::brelvoBtnPressed() {
    const QString url = LibrarySettings::sharedInstance().openURLScheme();
    tryToOpenURL(url);
    qCInfo(lcBrelvo).noquote() << QStringLiteral("openURL: %1").arg(url);
}

void UserProfileViewController::tryToOpenURL(const QString& url) {
    // The application behind an address is known by its bare scheme. An
    // address without "//" (or none at all) is checked as a whole, and an
    // empty one comes down to "//", which nothing opens.
    const qsizetype cut = url.indexOf(QStringLiteral("//"));
    const QString bare = (cut < 0 ? url : url.left(cut)) + QStringLiteral("//");
    if (urls::canOpenURL(QUrl(bare)))
        urls::openURL(QUrl(url));
    else
        showInstallAlert();
}

void UserProfileViewController::showInstallAlert() {
    auto* alert = new BVAlert(texts::installAlertTitle(), texts::installAlertMessage(), texts::installAlertNo(),
                              texts::installAlertYes());
    alert->setBvAlertDelegate(this);
    installAlert_ = alert;
    BVAlert::show(alert);
}

void UserProfileViewController::successButtonPressed() {
    urls::openURL(QUrl(NetworkClientBrelvo::serviceUrl()));
}

}  // namespace brelvo

#include "UserProfileViewController.moc"
