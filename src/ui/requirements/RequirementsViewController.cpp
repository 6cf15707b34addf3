#include "ui/requirements/RequirementsViewController.h"

#include "platform/NotificationCenter.h"
#include "platform/Screen.h"
#include "protocol/NetworkClientBrelvo.h"
#include "state/NotificationNames.h"
#include "state/UserHelperBrelvo.h"
#include "ui/common/NavBar.h"
#include "ui/common/ScrollBarStyle.h"
#include "ui/images/BrelvoImageManager.h"
#include "ui/requirements/RequirementViewController.h"
#include "ui/requirements/RequirementsSource.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

namespace brelvo {

namespace {

constexpr int kHeaderHeight = 76;
constexpr int kTabBarHeight = 40;
// Status numbers of the tabs, left to right.
constexpr int kTabStatus[3] = {0, 2, 3};
constexpr const char* kTabCaption[3] = {"PENDING", "PASSED", "FAILED"};

QString textOf(const QVariant& value) {
    return value.isNull() || !value.isValid() ? QString() : value.toString();
}

// The priority's name in capitals, in its colour (grey when it has none).
void showPriority(QLabel* label, const QVariant& priority) {
    const QColor colour = UserHelperBrelvo::getColorForActivePriorityByPriorityNumber(priority);
    label->setText(UserHelperBrelvo::shared().getPriorityByPriorityNumber(priority).toUpper());
    label->setStyleSheet(QStringLiteral("background: transparent; font-size: 12px; font-weight: bold; color: %1;")
                             .arg(colour.isValid() ? colour.name() : QStringLiteral("rgb(128, 128, 128)")));
}

// One row: code and priority on the first line, the title under them.
QWidget* rowWidget(const QVariantMap& requirement) {
    auto* row = new QWidget;
    row->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* grid = new QGridLayout(row);
    grid->setContentsMargins(16, 8, 16, 8);
    grid->setVerticalSpacing(2);
    auto* code = new QLabel(textOf(requirement.value(QStringLiteral("code"))));
    code->setStyleSheet(QStringLiteral("background: transparent; color: rgb(40, 40, 40); font-size: 15px; font-weight: bold;"));
    auto* priority = new QLabel;
    priority->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    showPriority(priority, requirement.value(QStringLiteral("priority")));
    auto* title = new QLabel(textOf(requirement.value(QStringLiteral("title"))));
    title->setStyleSheet(QStringLiteral("background: transparent; color: rgb(100, 100, 100); font-size: 14px;"));
    for (QLabel* l : {code, title}) l->setTextFormat(Qt::PlainText);
    grid->addWidget(code, 0, 0);
    grid->addWidget(priority, 0, 1);
    grid->addWidget(title, 1, 0, 1, 2);
    grid->setColumnStretch(0, 1);
    return row;
}

}  // namespace

RequirementsViewController::RequirementsViewController(RequirementsSource* source, QWidget* parent)
    : QWidget(parent), source_(source) {
    createGUI();
    connect(source_, &RequirementsSource::rowsChanged, this, &RequirementsViewController::showRows);
    connect(source_, &RequirementsSource::runningChanged, this, &RequirementsViewController::updateActiveRequirement);
    connect(source_, &RequirementsSource::loadingChanged, this, [this](bool loading) {
        setTabsEnabled(!loading);
        lblNoRequirements_->setVisible(!loading && list_.isEmpty());
        // A pull-to-refresh ends when its load does.
        if (!loading && reloading_) {
            reloading_ = false;
            refreshHeaderView_->egoRefreshScrollViewDataSourceDidFinishedLoading();
        }
    });
    connect(refreshHeaderView_, &EGORefreshTableHeaderViewBrelvo::contentShiftChanged, this,
            &RequirementsViewController::layoutTable);
    connect(tb_->verticalScrollBar(), &QScrollBar::valueChanged, this, &RequirementsViewController::lastRowShown);
    connect(tb_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { selectRow(tb_->row(item)); });
    showRows(source_->rows());
    updateActiveRequirement(source_->running());
}

RequirementsViewController::~RequirementsViewController() = default;

RequirementViewController* RequirementsViewController::controller() const {
    return controller_.data();
}

void RequirementsViewController::createGUI() {
    // The logo carries the mark: no sign beside it.
    const NavBar nav = makeNavBar(this, QString(), QString(), false);
    navBar_ = nav.bar;
    btnBack_ = nav.back;
    const qreal ratio = devicePixelRatioF();
    QPixmap logo = QPixmap::fromImage(BrelvoImageManager::sharedInstance().getImageForKey(QStringLiteral("logo")))
                       .scaled(QSize(118, 20) * ratio, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    logo.setDevicePixelRatio(ratio);
    nav.title->setPixmap(logo);
    connect(btnBack_, &QPushButton::clicked, this, &RequirementsViewController::btnBackPressed);

    header_ = new QWidget(this);
    header_->setObjectName(QStringLiteral("header"));
    header_->setAttribute(Qt::WA_StyledBackground);
    header_->setStyleSheet(QStringLiteral("QWidget#header { background: rgb(217, 235, 245); }"));
    auto* grid = new QGridLayout(header_);
    grid->setContentsMargins(16, 8, 12, 8);
    grid->setVerticalSpacing(2);
    lblReq_ = new QLabel(QStringLiteral("Test"), header_);
    lblReq_->setStyleSheet(QStringLiteral("background: transparent; color: rgb(71, 95, 107); font-size: 12px; font-weight: bold;"));
    lblActiveRequirement_ = new QLabel(header_);
    lblActiveRequirement_->setStyleSheet(QStringLiteral("background: transparent; color: rgb(40, 40, 40); font-size: 15px; font-weight: bold;"));
    lblActiveRequirement2_ = new QLabel(header_);
    lblActiveRequirement2_->setStyleSheet(QStringLiteral("background: transparent; color: rgb(70, 70, 70); font-size: 14px;"));
    activePriorityLabel_ = new QLabel(header_);
    activePriorityLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    imgNoActiveReqs_ = new QLabel(QStringLiteral("No active test"), header_);
    imgNoActiveReqs_->setAlignment(Qt::AlignCenter);
    imgNoActiveReqs_->setStyleSheet(QStringLiteral("background: transparent; color: rgb(120, 120, 120); font-size: 15px;"));
    btnStartedRequirement_ = new QPushButton(QStringLiteral("\u203A"), header_);
    btnStartedRequirement_->setFixedSize(32, 44);
    btnStartedRequirement_->setCursor(Qt::PointingHandCursor);
    btnStartedRequirement_->setStyleSheet(QStringLiteral(
        "QPushButton { background: transparent; border: none; color: rgb(71, 95, 107); font-size: 30px; }"));
    connect(btnStartedRequirement_, &QPushButton::clicked, this, &RequirementsViewController::btnStartedRequirementPressed);
    for (QLabel* l : {lblActiveRequirement_, lblActiveRequirement2_}) l->setTextFormat(Qt::PlainText);
    grid->addWidget(lblReq_, 0, 0);
    grid->addWidget(activePriorityLabel_, 0, 1);
    grid->addWidget(lblActiveRequirement_, 1, 0, 1, 2);
    grid->addWidget(lblActiveRequirement2_, 2, 0, 1, 2);
    grid->addWidget(btnStartedRequirement_, 0, 2, 3, 1);
    grid->addWidget(imgNoActiveReqs_, 0, 0, 3, 3);
    grid->setColumnStretch(0, 1);

    tabBar_ = new QWidget(this);
    tabBar_->setAttribute(Qt::WA_StyledBackground);
    tabBar_->setStyleSheet(QStringLiteral("background: white;"));
    auto* tabs = new QHBoxLayout(tabBar_);
    tabs->setContentsMargins(0, 0, 0, 0);
    tabs->setSpacing(0);
    for (int i = 0; i < 3; ++i) {
        tabs_[i] = new QPushButton(QString::fromLatin1(kTabCaption[i]), tabBar_);
        tabs_[i]->setCheckable(true);
        tabs_[i]->setCursor(Qt::PointingHandCursor);
        tabs_[i]->setFocusPolicy(Qt::NoFocus);
        tabs_[i]->setMinimumHeight(kTabBarHeight);
        tabs_[i]->setStyleSheet(QStringLiteral(
            "QPushButton { background: white; color: rgb(120, 120, 120); border: none;"
            " border-bottom: 2px solid rgb(225, 225, 225); font-size: 13px; font-weight: bold; }"
            "QPushButton:checked { color: rgb(71, 95, 107); border-bottom: 3px solid rgb(71, 95, 107); }"
            "QPushButton:disabled { color: rgb(190, 190, 190); }"));
        connect(tabs_[i], &QPushButton::clicked, this, [this, i] { btnMenuPressed(i); });
        tabs->addWidget(tabs_[i], 1);
    }
    tabs_[0]->setChecked(true);

    tableArea_ = new QWidget(this);
    tableArea_->setObjectName(QStringLiteral("tableArea"));
    tableArea_->setAttribute(Qt::WA_StyledBackground);
    // Named, so that the colour stays on the area and not on every row.
    tableArea_->setStyleSheet(QStringLiteral("QWidget#tableArea { background: rgb(226, 231, 237); }") + thinScrollBarsStyle());
    refreshHeaderView_ = new EGORefreshTableHeaderViewBrelvo(tableArea_);
    refreshHeaderView_->setDelegate(this);
    tb_ = new QListWidget(tableArea_);
    tb_->setFrameShape(QFrame::NoFrame);
    tb_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    tb_->setSelectionMode(QAbstractItemView::NoSelection);
    tb_->setStyleSheet(QStringLiteral(
        // Every item property the rows rely on is set here: a host's style
        // sheet (padding on list items, say) would otherwise reach them.
        "QListWidget { background: white; border: none; }"
        "QListWidget::item { padding: 0; margin: 0; border: none; border-bottom: 1px solid rgb(230, 230, 230); }"
        "QListWidget::item:selected { background: white; }"
        "QListWidget::item:hover { background: rgb(245, 247, 250); }"));
    refreshHeaderView_->attach(tb_);
    refreshHeaderView_->refreshLastUpdatedDate();
    lblNoRequirements_ = new QLabel(QStringLiteral("NO TESTS"), tableArea_);
    lblNoRequirements_->setAlignment(Qt::AlignCenter);
    lblNoRequirements_->setAttribute(Qt::WA_TransparentForMouseEvents);
    lblNoRequirements_->setStyleSheet(QStringLiteral("background: transparent; color: rgb(150, 150, 150); font-size: 17px; font-weight: bold;"));
    lblNoRequirements_->hide();
}

// Rows handed over while hidden are seen first now: the last may be due its next page.
void RequirementsViewController::showEvent(QShowEvent*) {
    lastRowShown();
}

void RequirementsViewController::paintEvent(QPaintEvent*) {
    QPainter(this).fillRect(rect(), QColor(242, 242, 242));
}

void RequirementsViewController::resizeEvent(QResizeEvent*) {
    const int w = width();
    navBar_->setGeometry(0, 0, w, NavBar::kHeight);
    header_->setGeometry(0, NavBar::kHeight, w, kHeaderHeight);
    tabBar_->setGeometry(0, NavBar::kHeight + kHeaderHeight, w, kTabBarHeight);
    const int top = NavBar::kHeight + kHeaderHeight + kTabBarHeight;
    tableArea_->setGeometry(0, top, w, std::max(0, height() - top));
    layoutTable();
}

// The rows move down by the pull; the refresh header's bottom meets their top.
void RequirementsViewController::layoutTable() {
    const QSize area = tableArea_->size();
    const int shift = int(refreshHeaderView_->contentShift());
    tb_->setGeometry(0, shift, area.width(), area.height());
    refreshHeaderView_->setGeometry(0, shift - area.height(), area.width(), area.height());
    lblNoRequirements_->setGeometry(0, shift, area.width(), std::min(area.height(), 120));
    lblNoRequirements_->raise();
}

void RequirementsViewController::showRows(const QVariantList& rows) {
    list_ = rows;
    // The menu's fetch selects the pending tab in the source.
    index_ = source_->status();
    for (int i = 0; i < 3; ++i) tabs_[i]->setChecked(kTabStatus[i] == index_);
    const int kept = tb_->verticalScrollBar()->value();
    tb_->clear();
    const int height = screen::isTablet() ? 130 : kRowHeight;
    for (const QVariant& row : rows) {
        auto* item = new QListWidgetItem(tb_);
        item->setSizeHint(QSize(0, height));
        tb_->setItemWidget(item, rowWidget(row.toMap()));
    }
    tb_->verticalScrollBar()->setValue(kept);
    lblNoRequirements_->setVisible(rows.isEmpty() && !source_->isLoading());
    lastRowShown();
}

// The next page is asked for when the last row comes into view; the source
// asks for each page once.
void RequirementsViewController::lastRowShown() {
    const int last = tb_->count() - 1;
    if (last < 0 || !isVisible()) return;
    if (tb_->visualItemRect(tb_->item(last)).intersects(tb_->viewport()->rect())) source_->rowShown(last);
}

void RequirementsViewController::updateActiveRequirement(const QVariant& requirement) {
    const QVariantMap fields = requirement.toMap();
    const bool shown = !fields.isEmpty();
    imgNoActiveReqs_->setVisible(!shown);
    for (QWidget* w : QList<QWidget*>{lblReq_, lblActiveRequirement_, lblActiveRequirement2_, activePriorityLabel_})
        w->setVisible(shown);
    lblActiveRequirement_->setText(textOf(fields.value(QStringLiteral("code"))));
    lblActiveRequirement2_->setText(textOf(fields.value(QStringLiteral("title"))));
    if (shown)
        showPriority(activePriorityLabel_, fields.value(QStringLiteral("priority")));
    else
        activePriorityLabel_->clear();
    updateRunning();
}

void RequirementsViewController::updateRunning() {
    const bool running = NetworkClientBrelvo::shared().rrid().toInt() >= 1;
    btnStartedRequirement_->setVisible(running);
    lblReq_->setVisible(running && !lblActiveRequirement_->text().isEmpty());
    if (!running) imgNoActiveReqs_->show();
}

void RequirementsViewController::getRequirementsList() {
    lblNoRequirements_->hide();
    source_->loadTab(index_);
}

void RequirementsViewController::btnMenuPressed(int tab) {
    if (tab < 0 || tab > 2) return;
    for (int i = 0; i < 3; ++i) tabs_[i]->setChecked(i == tab);
    index_ = kTabStatus[tab];
    getRequirementsList();
}

void RequirementsViewController::setTabsEnabled(bool enabled) {
    for (QPushButton* tab : tabs_) tab->setEnabled(enabled);
}

void RequirementsViewController::selectRow(int row) {
    if (row < 0 || row >= list_.size()) return;
    if (NetworkClientBrelvo::shared().rrid().toInt() >= 1 && index_ != 1) {
        alert_ = new BVAlert(QStringLiteral("Error"), QStringLiteral("You already have in progress test. Finish it first"),
                             QStringLiteral("OK"), QString());
        alert_->setBvAlertDelegate(this);
        BVAlert::show(alert_);
        return;
    }
    const QVariant rid = list_[row].toMap().value(QStringLiteral("rid"));
    if (rid.isNull() || !rid.isValid()) return;  // nothing to open
    createRequirementView();
    NotificationCenter::defaultCenter().post(notifications::kUpdateRequirement, rid);
    btnMenuPressed(0);
}

void RequirementsViewController::btnStartedRequirementPressed() {
    createRequirementView();
    NotificationCenter::defaultCenter().post(notifications::kUpdateRequirement,
                                             NetworkClientBrelvo::shared().rrid().toInt());
    btnMenuPressed(0);
}

RequirementViewController* RequirementsViewController::createRequirementView() {
    delete controller_;
    controller_ = new RequirementViewController(this);
    controller_->setController(this);
    controller_->setGeometry(rect());
    controller_->show();
    controller_->raise();
    return controller_;
}

void RequirementsViewController::btnBackPressed() {
    exit(false);
    btnMenuPressed(0);
}

void RequirementsViewController::exit(bool showMenu) {
    if (!showMenu) {
        hide();
        return;
    }
    QTimer::singleShot(500, this, [this] { hide(); });
    emit menuRequested();
}

void RequirementsViewController::updateLblRequirement(const QVariant& requirement) {
    emit activeRequirementChanged(requirement);
}

void RequirementsViewController::egoRefreshTableHeaderDidTriggerRefresh(EGORefreshTableHeaderViewBrelvo*) {
    tb_->clear();
    list_.clear();
    reloading_ = source_->reload();
}

std::optional<QDateTime> RequirementsViewController::egoRefreshTableHeaderDataSourceLastUpdated(
    EGORefreshTableHeaderViewBrelvo*) {
    return QDateTime::currentDateTime();
}

}  // namespace brelvo
