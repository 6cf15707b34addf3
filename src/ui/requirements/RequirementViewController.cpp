#include "ui/requirements/RequirementViewController.h"

#include "platform/ActivityIndicator.h"
#include "platform/NotificationCenter.h"
#include "protocol/NetworkClientBrelvo.h"
#include "state/NotificationNames.h"
#include "state/UserHelperBrelvo.h"
#include "ui/common/NavBar.h"
#include "ui/common/ScrollBarStyle.h"
#include "ui/requirements/RequirementLoader.h"
#include "ui/requirements/RequirementReporter.h"
#include "ui/requirements/RequirementsViewController.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace brelvo {

namespace {

// Captions and the members they show, top to bottom; the optional ones are
// left out when the member is null.
struct Section {
    const char* caption;
    const char* member;
    bool optional;
};
constexpr Section kSections[] = {{"Subject", "title", false},         {"Actor", "actor", true},
                                 {"Action", "action", true},          {"Description", "description", false},
                                 {"Reference", "reference", true},    {"Expected Result", "exp_result", false}};

const QString kCaptionStyle = QStringLiteral("color: rgb(64, 64, 64); font-size: 15px; font-weight: bold;");
const QString kTextStyle = QStringLiteral(
    "color: rgb(40, 40, 40); background: white; border: 1px solid rgb(200, 200, 200); border-radius: 4px;"
    " font-size: 15px; padding: 8px;");

QPushButton* actionButton(const QString& caption, const QColor& colour, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setMinimumHeight(44);
    // Two to a row, of one width whatever their captions.
    button->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    button->setCursor(Qt::PointingHandCursor);
    button->setFocusPolicy(Qt::NoFocus);
    button->setStyleSheet(QStringLiteral("QPushButton { color: white; background: %1; border: none; border-radius: 6px;"
                                         " font-size: 15px; font-weight: bold; padding: 0 6px; }"
                                         "QPushButton:pressed { color: rgb(200, 200, 200); }")
                              .arg(colour.name()));
    return button;
}

// A member as text: none for null or missing, numbers without a fraction
// as whole numbers.
QString textOf(const QVariant& value) {
    if (value.isNull() || !value.isValid()) return {};
    return value.toString();
}

}  // namespace

RequirementViewController::RequirementViewController(QWidget* parent)
    : QWidget(parent), loader_(new RequirementLoader(this)) {
    createGUI();
    createLoadingView();
    connect(loader_, &RequirementLoader::loaded, this, &RequirementViewController::showRequirement);
    connect(loader_, &RequirementLoader::failed, this, [this] {
        loadingText_->setText(QStringLiteral("Not loaded"));
        loadingView_->findChild<ActivityIndicator*>()->stopAnimating();
    });
    // Observed while the screen lives: the context goes with it.
    NotificationCenter::defaultCenter().addObserver(notifications::kUpdateRequirement, this,
                                                    [this](const Notification& n) { updateInfo(n); });
}

RequirementViewController::~RequirementViewController() = default;

QString RequirementViewController::kindCaption(const QVariant& kind) {
    bool number = false;
    switch (kind.toInt(&number)) {
    case 1: return QStringLiteral("TEST CASE");
    case 2: return QStringLiteral("USER STORY");
    case 3: return QStringLiteral("TASK");
    default: return QStringLiteral("TEST");
    }
}

void RequirementViewController::createGUI() {
    const NavBar nav = makeNavBar(this, QString(), QStringLiteral("Close"));
    btnBack_ = nav.back;
    btnClose_ = nav.action;
    lblRequirementType_ = nav.title;
    connect(btnBack_, &QPushButton::clicked, this, &RequirementViewController::btnBackPressed);
    connect(btnClose_, &QPushButton::clicked, this, &RequirementViewController::btnClosePressed);

    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("page"));
    page->setStyleSheet(QStringLiteral("QWidget#page { background: rgb(242, 242, 242); }"));
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(16, 14, 16, 16);
    column->setSpacing(8);
    auto* heading = new QHBoxLayout;
    lblCodeReq_ = new QLabel(page);
    lblCodeReq_->setWordWrap(true);
    lblCodeReq_->setStyleSheet(QStringLiteral("color: rgb(40, 40, 40); font-size: 17px; font-weight: bold;"));
    priorityLabel_ = new QLabel(page);
    priorityLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    heading->addWidget(lblCodeReq_, 1);
    heading->addWidget(priorityLabel_);
    column->addLayout(heading);
    sections_ = new QVBoxLayout;
    sections_->setSpacing(6);
    column->addLayout(sections_);
    column->addStretch(1);
    mainScroll_ = new QScrollArea(this);
    mainScroll_->setStyleSheet(thinScrollBarsStyle());
    mainScroll_->setWidgetResizable(true);
    mainScroll_->setFrameShape(QFrame::NoFrame);
    mainScroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    mainScroll_->setWidget(page);

    buttonBar_ = new QWidget(this);
    buttonBar_->setAttribute(Qt::WA_StyledBackground);
    buttonBar_->setStyleSheet(QStringLiteral("background: white; border-top: 1px solid rgb(220, 220, 220);"));
    auto* rows = new QVBoxLayout(buttonBar_);
    rows->setContentsMargins(16, 10, 16, 12);
    rows->setSpacing(10);
    btnStartTesting_ = actionButton(QStringLiteral("Test"), QColor(71, 95, 107), buttonBar_);
    btnTestSuccess_ = actionButton(QStringLiteral("Passed"), QColor(46, 139, 87), buttonBar_);
    btnTestFail_ = actionButton(QStringLiteral("Failed"), QColor(204, 41, 41), buttonBar_);
    btnCancel_ = actionButton(QStringLiteral("Cancel"), QColor(128, 128, 128), buttonBar_);
    btnContinueTesting_ = actionButton(QStringLiteral("Continue Testing"), QColor(71, 95, 107), buttonBar_);
    btnContinueTesting_->setStyleSheet(btnContinueTesting_->styleSheet().replace(QStringLiteral("15px"), QStringLiteral("14px")));
    // The verdicts side by side; under them "Cancel" and the wider "Continue Testing".
    const auto row = [rows](QPushButton* left, int leftShare, QPushButton* right, int rightShare) {
        auto* line = new QHBoxLayout;
        line->setSpacing(10);
        line->addWidget(left, leftShare);
        line->addWidget(right, rightShare);
        rows->addLayout(line);
    };
    rows->addWidget(btnStartTesting_);
    row(btnTestSuccess_, 1, btnTestFail_, 1);
    row(btnCancel_, 2, btnContinueTesting_, 3);
    connect(btnStartTesting_, &QPushButton::clicked, this, &RequirementViewController::btnStartTestingPressed);
    connect(btnTestSuccess_, &QPushButton::clicked, this, &RequirementViewController::btnSuccessPressed);
    connect(btnTestFail_, &QPushButton::clicked, this, &RequirementViewController::btnFailPressed);
    connect(btnCancel_, &QPushButton::clicked, this, &RequirementViewController::btnCancelPressed);
    connect(btnContinueTesting_, &QPushButton::clicked, this, &RequirementViewController::btnContinueTestingPressed);
    // Nothing to act on until the requirement is there.
    for (QPushButton* b : {btnStartTesting_, btnTestSuccess_, btnTestFail_, btnCancel_, btnContinueTesting_}) b->hide();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(nav.bar);
    layout->addWidget(mainScroll_, 1);
    layout->addWidget(buttonBar_);
}

void RequirementViewController::createLoadingView() {
    loadingView_ = new QWidget(this);
    loadingView_->setAttribute(Qt::WA_StyledBackground);
    loadingView_->setStyleSheet(QStringLiteral("background: rgba(128, 128, 128, 230); border-radius: 6px;"));
    loadingView_->resize(120, 90);
    auto* column = new QVBoxLayout(loadingView_);
    column->setContentsMargins(10, 14, 10, 12);
    auto* spinner = new ActivityIndicator(ActivityIndicator::LargeWhite, loadingView_);
    loadingText_ = new QLabel(QStringLiteral("loading..."), loadingView_);
    loadingText_->setAlignment(Qt::AlignCenter);
    loadingText_->setStyleSheet(QStringLiteral("color: white; background: transparent; font-size: 14px;"));
    column->addWidget(spinner, 0, Qt::AlignHCenter);
    column->addWidget(loadingText_);
    loadingView_->hide();
}

void RequirementViewController::paintEvent(QPaintEvent*) {
    QPainter(this).fillRect(rect(), Qt::white);
}

void RequirementViewController::resizeEvent(QResizeEvent*) {
    loadingView_->move((width() - loadingView_->width()) / 2, (height() - loadingView_->height()) / 2);
}

void RequirementViewController::updateInfo(const Notification& notification) {
    loadingText_->setText(QStringLiteral("loading..."));
    loadingView_->show();
    loadingView_->raise();
    loadingView_->findChild<ActivityIndicator*>()->startAnimating();
    if (!getRequirementWithRid(notification.object.toInt())) loadingView_->hide();
}

bool RequirementViewController::getRequirementWithRid(int rid) {
    return loader_->load(rid);
}

bool RequirementViewController::applyStatusForRequirement(int status, const QVariant& rid) {
    return RequirementReporter::shared().report(rid, status);
}

void RequirementViewController::showRequirement(const QVariantMap& requirement) {
    currentRequirement_ = requirement;
    rid_ = requirement.value(QStringLiteral("rid"));
    analizeStatus(requirement.value(QStringLiteral("status")));
    lblCodeReq_->setText(textOf(requirement.value(QStringLiteral("code"))));
    const QVariant priority = requirement.value(QStringLiteral("priority"));
    const QColor colour = UserHelperBrelvo::getColorForActivePriorityByPriorityNumber(priority);
    priorityLabel_->setText(UserHelperBrelvo::shared().getPriorityByPriorityNumber(priority));
    priorityLabel_->setStyleSheet(QStringLiteral("font-size: 13px; font-weight: bold; color: %1;")
                                      .arg(colour.isValid() ? colour.name() : QStringLiteral("rgb(128, 128, 128)")));
    rebuildPage(requirement);
    loadingView_->findChild<ActivityIndicator*>()->stopAnimating();
    loadingView_->hide();
}

void RequirementViewController::analizeStatus(const QVariant& status) {
    bool number = false;
    const int value = status.toInt(&number);
    if (!number) return;
    const bool running = value == InProgress;
    if (!running && value != Pending && value != Passed && value != Failed) return;
    btnStartTesting_->setVisible(!running);
    for (QPushButton* b : {btnTestSuccess_, btnTestFail_, btnCancel_, btnContinueTesting_}) b->setVisible(running);
}

void RequirementViewController::rebuildPage(const QVariantMap& requirement) {
    lblRequirementType_->setText(kindCaption(requirement.value(QStringLiteral("kind"))));
    while (QLayoutItem* item = sections_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (const Section& section : kSections) {
        const QVariant value = requirement.value(QString::fromLatin1(section.member));
        if (section.optional && (value.isNull() || !value.isValid())) continue;
        auto* caption = new QLabel(QString::fromLatin1(section.caption));
        caption->setObjectName(QStringLiteral("caption"));
        caption->setStyleSheet(kCaptionStyle);
        auto* text = new QLabel(textOf(value));
        text->setObjectName(QString::fromLatin1(section.caption));
        text->setWordWrap(true);
        text->setTextFormat(Qt::PlainText);  // the service's text is shown, never interpreted
        text->setTextInteractionFlags(Qt::TextSelectableByMouse);
        text->setStyleSheet(kTextStyle);
        sections_->addSpacing(6);
        sections_->addWidget(caption);
        sections_->addWidget(text);
    }
}

QStringList RequirementViewController::sectionCaptions() const {
    QStringList captions;
    for (const QLabel* label : mainScroll_->widget()->findChildren<QLabel*>(QStringLiteral("caption")))
        captions.append(label->text());
    return captions;
}

QString RequirementViewController::sectionText(const QString& caption) const {
    const auto* text = mainScroll_->widget()->findChild<QLabel*>(caption);
    return text ? text->text() : QString();
}

void RequirementViewController::btnStartTestingPressed() {
    NetworkClientBrelvo::shared().setRrid(textOf(rid_));
    if (controller_) {
        controller_->updateLblRequirement(currentRequirement_);
        controller_->updateActiveRequirement(currentRequirement_);
    }
    UserHelperBrelvo::shared().setActiveRequirement(currentRequirement_);
    applyStatusForRequirement(InProgress, rid_);
    makeExit();
}

void RequirementViewController::btnSuccessPressed() {
    cleanRequirement();
    applyStatusForRequirement(Passed, rid_);
    NotificationCenter::defaultCenter().post(notifications::kUpdateActiveRequirement);
    removeView();
}

void RequirementViewController::btnFailPressed() {
    failedPressed_ = true;
    showAlert(QStringLiteral("Test failed"), QStringLiteral("Would you like to post issue?"));
}

void RequirementViewController::btnCancelPressed() {
    failedPressed_ = false;
    showAlert(QStringLiteral("Are you sure?"), QStringLiteral("This requirement will get status pending"));
}

void RequirementViewController::showAlert(const QString& title, const QString& message) {
    alert_ = new BVAlert(title, message, QStringLiteral("NO"), QStringLiteral("YES"));
    alert_->setBvAlertDelegate(this);
    BVAlert::show(alert_);
}

void RequirementViewController::successButtonPressed() {
    if (!failedPressed_) {  // "YES" to cancelling: the test goes back to pending
        cleanRequirement();
        applyStatusForRequirement(Pending, rid_);
        makeExit();
        return;
    }
    failedPressed_ = false;
    applyStatusForRequirement(Failed, rid_);
    // The failed requirement stays the shared active requirement, so the form
    // opened here attaches the new issue to it; the running test ends.
    NotificationCenter& center = NotificationCenter::defaultCenter();
    center.post(notifications::kCallPostIssue);
    NetworkClientBrelvo::shared().setRrid(QStringLiteral("0"));
    if (controller_) {
        controller_->updateLblRequirement(QVariant());
        controller_->updateActiveRequirement(QVariant());
    }
    center.post(notifications::kUpdateActiveRequirement);
    QPointer<RequirementsViewController> list = controller_;
    removeView();
    if (list) list->exit(false);
}

void RequirementViewController::cancelButtonPressed() {
    if (!failedPressed_) return;  // "NO" to cancelling: nothing
    failedPressed_ = false;
    cleanRequirement();
    applyStatusForRequirement(Failed, rid_);
    makeExit();
}

void RequirementViewController::cleanRequirement() {
    NetworkClientBrelvo::shared().setRrid(QStringLiteral("0"));
    if (controller_) {
        controller_->updateLblRequirement(QVariant());
        controller_->updateActiveRequirement(QVariant());
    }
    UserHelperBrelvo::shared().setActiveRequirement({});
}

void RequirementViewController::makeExit() {
    NotificationCenter::defaultCenter().post(notifications::kUpdateActiveRequirement);
    QPointer<RequirementsViewController> list = controller_;
    removeView();
    if (list) list->exit(true);
}

void RequirementViewController::btnBackPressed() {
    removeView();
}

// The screen lives while it shows: removed, it goes.
void RequirementViewController::removeView() {
    hide();
    deleteLater();
}

}  // namespace brelvo
