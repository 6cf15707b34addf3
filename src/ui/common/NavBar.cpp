#include "ui/common/NavBar.h"

#include "ui/common/BackChevron.h"
#include "ui/images/BrelvoImageManager.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace brelvo {

namespace {

constexpr int kBackWidth = 28, kSignWidth = 32, kActionWidth = 56, kSpacing = 6;

}  // namespace

NavBar makeNavBar(QWidget* parent, const QString& title, const QString& action, bool withSign) {
    NavBar nav;
    nav.bar = new QWidget(parent);
    nav.bar->setFixedHeight(NavBar::kHeight);
    nav.bar->setObjectName(QStringLiteral("navBar"));
    nav.bar->setAttribute(Qt::WA_StyledBackground);
    nav.bar->setStyleSheet(QStringLiteral("QWidget#navBar { background: %1; }").arg(NavBar::kColour.name()));
    auto* row = new QHBoxLayout(nav.bar);
    row->setContentsMargins(7, 0, 7, 0);
    row->setSpacing(kSpacing);

    nav.back = new QPushButton(nav.bar);
    nav.back->setFixedSize(kBackWidth, 30);
    nav.back->setCursor(Qt::PointingHandCursor);
    nav.back->setStyleSheet(QStringLiteral("QPushButton { background: transparent; border: none; }"));
    nav.back->setIcon(QPixmap::fromImage(backChevronImage(parent->devicePixelRatioF(), ChevronWeight::Bold)));
    nav.back->setIconSize(QSize(20, 26));
    row->addWidget(nav.back);
    int left = kBackWidth;
    if (withSign) {
        nav.sign = new QLabel(nav.bar);
        nav.sign->setFixedSize(kSignWidth, 26);
        nav.sign->setScaledContents(true);
        nav.sign->setPixmap(
            QPixmap::fromImage(BrelvoImageManager::sharedInstance().getImageForKey(QStringLiteral("sign"))));
        row->addWidget(nav.sign);
        left += kSpacing + kSignWidth;
    }

    nav.title = new QLabel(title, nav.bar);
    nav.title->setAlignment(Qt::AlignCenter);
    nav.title->setStyleSheet(barTitleStyle());
    row->addWidget(nav.title, 1);

    int right = 0;
    if (!action.isEmpty()) {
        nav.action = new QPushButton(action, nav.bar);
        nav.action->setFixedSize(kActionWidth, 30);
        nav.action->setCursor(Qt::PointingHandCursor);
        nav.action->setFocusPolicy(Qt::NoFocus);
        nav.action->setStyleSheet(QStringLiteral(
            "QPushButton { color: white; background: rgb(71, 95, 107); border: none; border-radius: 5px;"
            " font-weight: bold; font-size: 13px; }"
            "QPushButton:pressed { color: rgb(170, 170, 170); }"));
        right = kActionWidth;
    }
    // Keeps the title centred between uneven sides (each gap counts).
    const int balance = nav.action ? left - right - kSpacing : left;
    if (balance > 0) row->addSpacing(balance);
    if (nav.action) row->addWidget(nav.action);
    return nav;
}

QString barTitleStyle() {
    return QStringLiteral("color: white; background: transparent; font-weight: bold; font-size: 20px;");
}

}  // namespace brelvo
