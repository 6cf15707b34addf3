#include "ui/issue/FeedbackViewControllerBrelvo.h"

#include "platform/ActivityIndicator.h"
#include "platform/Defaults.h"
#include "platform/Dispatch.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/Screen.h"
#include "state/NotificationNames.h"
#include "protocol/NetworkClientBrelvo.h"
#include "state/UserHelperBrelvo.h"
#include "ui/common/NavBar.h"
#include "ui/common/ScrollBarStyle.h"
#include "ui/common/Texts.h"
#include "ui/issue/ScreenshotEditBrelvoVC.h"
#include "ui/images/Brel_ImageCache.h"
#include "ui/issue/IssueSender.h"
#include "ui/issue/ModalTextViewsBrelvoVC.h"
#include "ui/issue/ScreenshotStore.h"
#include "ui/issue/ScreenshotStrip.h"
#include "ui/session/BrelReadMeVC.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace brelvo {

const QString FeedbackViewControllerBrelvo::kTypePlaceholder = QStringLiteral("Please select type");
const QString FeedbackViewControllerBrelvo::kSeverityPlaceholder = QStringLiteral("Please select severity");
const QString FeedbackViewControllerBrelvo::kSummaryPlaceholder = QStringLiteral("Tap to edit summary");

namespace {
const QString kChosenFormat = QStringLiteral("    %1");
const QString kNotAttached = QStringLiteral("This issue is not attached to test");
const QString kTitleKey = QStringLiteral("BrelvoIssue_Title");
const QString kDescriptionKey = QStringLiteral("BrelvoIssue_Description");
const QString kTypeKey = QStringLiteral("BrelvoIssue_Type");
const QString kArrayKey = QStringLiteral("BrelvoIssue_Array");
const QString kPriorityKey = QStringLiteral("BrelvoIssue_Priority");

bool isBlank(const QString& text) {
    return text.trimmed().isEmpty();
}

const QString kCaptionStyle = QStringLiteral("color: rgb(64, 64, 64); font-size: 15px; font-weight: bold;");
const QString kActionStyle = QStringLiteral(
    "QPushButton { color: white; background: rgb(71, 95, 107); border: none; border-radius: 6px;"
    " font-size: 15px; padding: 8px 14px; }"
    "QPushButton:pressed { color: rgb(170, 170, 170); }");
const QString kEditStyle = QStringLiteral(
    "QPushButton { color: rgb(71, 95, 107); background: transparent; border: none; font-size: 15px; }"
    "QPushButton:pressed { color: rgb(170, 170, 170); }");
const QString kFieldStyle = QStringLiteral(
    "border: 1px solid rgb(200, 200, 200); border-radius: 4px; background: white; font-size: 15px; padding: 6px;");
}  // namespace

FeedbackViewControllerBrelvo::FeedbackViewControllerBrelvo(QWidget* parent) : QWidget(parent) {
    activeRequirement_ = UserHelperBrelvo::shared().activeRequirement();
    buildUI();
    UserHelperBrelvo::shared().setFeedbackView(this);

    NotificationCenter& center = NotificationCenter::defaultCenter();
    center.addObserver(notifications::kUpdateActiveRequirement, this, [this](const auto&) { updateActiveRequirement(); });
    center.addObserver(notifications::kRemoveCaseView, this, [this](const auto&) { updateActiveRequirement(); });
    center.addObserver(notifications::kUpdateScreenshots, this, [this](const auto&) { rebuildScrollView(); });
    center.addObserver(notifications::kDeleteExtraScreenshot, this, [this](const Notification& n) {
        bool ok = false;
        const int index = n.object.toInt(&ok);
        if (ok) deleteScreenshotPressed(index);
    });
    connect(&IssueSender::shared(), &IssueSender::issueSent, this,
            [this](const QString& title, const QString& message, bool) { issueSent(title, message); });
    connect(&ScreenshotStore::shared(), &ScreenshotStore::captureSaved, this, [this] { rebuildScrollView(); });
    connect(strip_, &ScreenshotStrip::thumbnailTapped, this, &FeedbackViewControllerBrelvo::tapOnScreenshot);

    updateActiveRequirement();
    rebuildScrollView();
}

FeedbackViewControllerBrelvo::~FeedbackViewControllerBrelvo() {
    if (UserHelperBrelvo::shared().feedbackView() == this) UserHelperBrelvo::shared().setFeedbackView(nullptr);
}

// ---- building ---------------------------------------------------------------

void FeedbackViewControllerBrelvo::buildUI() {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    outer->addWidget(buildNavBar());

    offlineBar_ = new QWidget(this);
    offlineBar_->setStyleSheet(QStringLiteral("background: %1;").arg(kOfflineBar.name()));
    auto* offline = new QHBoxLayout(offlineBar_);
    offline->setContentsMargins(16, 6, 16, 6);
    auto* offlineText = new QLabel(QStringLiteral("Offline mode"), offlineBar_);
    offlineText->setStyleSheet(QStringLiteral("color: white; font-size: 15px;"));
    auto* readMore = new QPushButton(QStringLiteral("Read more"), offlineBar_);
    readMore->setStyleSheet(QStringLiteral(
        "QPushButton { color: %1; background: transparent; border: none; font-size: 15px; font-weight: bold;"
        " text-decoration: underline; }"
        "QPushButton:pressed { color: rgb(255, 205, 205); }").arg(kReadMoreText.name()));
    connect(readMore, &QPushButton::clicked, this, [this] {
        auto* readMe = new BrelReadMeVC(this);
        readMe->presentOver(this, true);
    });
    offline->addWidget(offlineText);
    offline->addStretch(1);
    offline->addWidget(readMore);
    offlineBar_->hide();
    outer->addWidget(offlineBar_);

    // Thin scroll bars without arrows, for the page, the description and the thumbnails.
    setStyleSheet(thinScrollBarsStyle());
    scroll_ = new QScrollArea(this);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("content"));
    content->setStyleSheet(QStringLiteral("QWidget#content { background: rgb(242, 242, 242); }"));
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(16, 16, 16, 24);
    column->setSpacing(10);
    scroll_->setWidget(content);
    outer->addWidget(scroll_, 1);

    column->addWidget(buildRequirementBox());

    btnType_ = choiceButton(&lblTypeString_, &typeIcon_, kTypePlaceholder);
    connect(btnType_, &QPushButton::clicked, this, &FeedbackViewControllerBrelvo::setTypeIndex);
    btnSeverity_ = choiceButton(&lblSeverityString_, &severityIcon_, kSeverityPlaceholder);
    connect(btnSeverity_, &QPushButton::clicked, this, &FeedbackViewControllerBrelvo::setPriorityIndex);
    column->addWidget(btnType_);
    column->addWidget(btnSeverity_);

    auto captionRow = [&](const QString& caption, QPushButton** edit) {
        auto* row = new QHBoxLayout;
        auto* label = new QLabel(caption, content);
        label->setStyleSheet(kCaptionStyle);
        *edit = new QPushButton(QStringLiteral("Edit"), content);
        (*edit)->setStyleSheet(kEditStyle);
        (*edit)->setCursor(Qt::PointingHandCursor);
        row->addWidget(label);
        row->addStretch(1);
        row->addWidget(*edit);
        column->addSpacing(6);
        column->addLayout(row);
    };

    captionRow(QStringLiteral("Summary"), &btnSummaryEdit_);
    summaryTextField_ = new QLineEdit(content);
    summaryTextField_->setReadOnly(true);  // written through the text entry only
    summaryTextField_->setPlaceholderText(kSummaryPlaceholder);
    summaryTextField_->setStyleSheet(QStringLiteral("QLineEdit { %1 color: rgb(85, 85, 85); }").arg(kFieldStyle));
    column->addWidget(summaryTextField_);
    connect(btnSummaryEdit_, &QPushButton::clicked, this, [this] { goToModalTextViewsVC(true); });

    captionRow(QStringLiteral("Description"), &btnDescriptionEdit_);
    descriptionTextView_ = new QPlainTextEdit(content);
    descriptionTextView_->setReadOnly(true);
    descriptionTextView_->setFixedHeight(110);
    column->addWidget(descriptionTextView_);
    setDescriptionText(kDescriptionPlaceholder);
    connect(btnDescriptionEdit_, &QPushButton::clicked, this, [this] { goToModalTextViewsVC(false); });

    column->addSpacing(6);
    auto* attach = new QLabel(QStringLiteral("Add attachment"), content);
    attach->setStyleSheet(kCaptionStyle);
    column->addWidget(attach);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(12);
    btnLibrary_ = new QPushButton(QStringLiteral("From library"), content);
    btnTakeScreenshot_ = new QPushButton(QStringLiteral("Take screenshot"), content);
    for (QPushButton* b : {btnLibrary_, btnTakeScreenshot_}) {
        b->setStyleSheet(kActionStyle);
        b->setCursor(Qt::PointingHandCursor);
        b->setFocusPolicy(Qt::NoFocus);
        buttons->addWidget(b, 1);
    }
    connect(btnLibrary_, &QPushButton::clicked, this, &FeedbackViewControllerBrelvo::btnAddImageFromLibraryPressed);
    connect(btnTakeScreenshot_, &QPushButton::clicked, this, &FeedbackViewControllerBrelvo::takeScreenshotButton);
    column->addLayout(buttons);

    strip_ = new ScreenshotStrip(content);
    connect(strip_, &ScreenshotStrip::deleteTapped, this, &FeedbackViewControllerBrelvo::deleteScreenshotPressed);
    column->addWidget(strip_);
    column->addStretch(1);

    loadingView_ = new QWidget(this);
    loadingView_->setStyleSheet(QStringLiteral("background: rgba(128, 128, 128, 230); border-radius: 6px;"));
    loadingView_->resize(100, 100);
    auto* spinner = new ActivityIndicator(ActivityIndicator::LargeWhite, loadingView_);
    spinner->setGeometry(31, 20, 37, 37);
    spinner->startAnimating();
    auto* sending = new QLabel(QStringLiteral("sending..."), loadingView_);
    sending->setAlignment(Qt::AlignCenter);
    sending->setStyleSheet(QStringLiteral("color: white; background: transparent; font-size: 14px;"));
    sending->setGeometry(0, 64, 100, 24);
    loadingView_->hide();
}

QWidget* FeedbackViewControllerBrelvo::buildNavBar() {
    const NavBar nav = makeNavBar(this, QStringLiteral("New issue"), QStringLiteral("Send"));
    navBar_ = nav.bar;
    btnBack_ = nav.back;
    btnSend_ = nav.action;
    connect(btnBack_, &QPushButton::clicked, this, &FeedbackViewControllerBrelvo::btnBackPressed);
    connect(btnSend_, &QPushButton::clicked, this, &FeedbackViewControllerBrelvo::btnSendPressed);
    return navBar_;
}

QWidget* FeedbackViewControllerBrelvo::buildRequirementBox() {
    requirementBox_ = new QWidget;
    requirementBox_->setAttribute(Qt::WA_StyledBackground);
    requirementBox_->setStyleSheet(QStringLiteral("background: rgb(217, 235, 245); border-radius: 4px;"));
    auto* row = new QHBoxLayout(requirementBox_);
    row->setContentsMargins(12, 8, 8, 8);
    lblRequirement_ = new QLabel(kNotAttached, requirementBox_);
    lblRequirement_->setWordWrap(true);
    lblRequirement_->setStyleSheet(QStringLiteral("color: rgb(40, 40, 40); font-size: 14px;"));
    auto* detach = new QPushButton(QStringLiteral("Detach"), requirementBox_);
    detach->setObjectName(QStringLiteral("detach"));
    detach->setStyleSheet(kEditStyle);
    connect(detach, &QPushButton::clicked, this, &FeedbackViewControllerBrelvo::btnCancelAttachedRequirement);
    row->addWidget(lblRequirement_, 1);
    row->addWidget(detach);
    return requirementBox_;
}

QPushButton* FeedbackViewControllerBrelvo::choiceButton(QLabel** label, QLabel** icon, const QString& placeholder) {
    auto* button = new QPushButton;
    button->setFixedHeight(48);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(QStringLiteral(
        "QPushButton { background: white; border: 1px solid rgb(200, 200, 200); border-radius: 4px; }"
        "QPushButton:pressed { background: rgb(230, 230, 230); }"));
    auto* row = new QHBoxLayout(button);
    row->setContentsMargins(10, 0, 12, 0);
    *icon = new QLabel(button);
    (*icon)->setFixedSize(15, 15);
    (*icon)->setScaledContents(true);
    *label = new QLabel(placeholder, button);
    (*label)->setStyleSheet(QStringLiteral("color: rgb(85, 85, 85); background: transparent; border: none; font-size: 15px;"));
    auto* arrow = new QLabel(QStringLiteral("\u25BE"), button);
    arrow->setStyleSheet(QStringLiteral("color: rgb(120, 120, 120); background: transparent; border: none; font-size: 16px;"));
    for (QLabel* l : {*icon, *label, arrow}) l->setAttribute(Qt::WA_TransparentForMouseEvents);
    row->addWidget(*icon);
    row->addWidget(*label, 1);
    row->addWidget(arrow);
    return button;
}

void FeedbackViewControllerBrelvo::paintEvent(QPaintEvent*) {
    QPainter(this).fillRect(rect(), QColor(242, 242, 242));
}

void FeedbackViewControllerBrelvo::resizeEvent(QResizeEvent*) {
    loadingView_->move((width() - loadingView_->width()) / 2, (height() - loadingView_->height()) / 2);
}

// ---- choices and texts --------------------------------------------------------

void FeedbackViewControllerBrelvo::setChoices(const IssueChoices& choices, const QStringList& typeIcons,
                                              const QStringList& severityIcons) {
    choices_ = choices;
    typeIcons_ = typeIcons;
    severityIcons_ = severityIcons;
}

void FeedbackViewControllerBrelvo::setTypeIndex() {
    openPicker(choices_.typeNames(), QStringLiteral("Type:"), typeIcons_, kTypeTag);
}

void FeedbackViewControllerBrelvo::setPriorityIndex() {
    openPicker(choices_.priorityNames(), QStringLiteral("Severity:"), severityIcons_, kSeverityTag);
}

void FeedbackViewControllerBrelvo::openPicker(const QStringList& names, const QString& title,
                                              const QStringList& icons, int tag) {
    OXPickerViewBrelvo* picker = OXPickerViewBrelvo::setupPickerViewWithContent(names, title, icons);
    picker->setDelegate(this);
    selectedTag_ = tag;
    if (screen::isTablet())
        picker->showPickerWithFrame(QRect(0, 0, screen::bounds().width(), OXPickerViewBrelvo::kTabletPickerHeight));
    else
        picker->showPicker();
}

void FeedbackViewControllerBrelvo::chooseValueIndex(int index) {
    if (selectedTag_ != kTypeTag && selectedTag_ != kSeverityTag) return;
    const bool type = selectedTag_ == kTypeTag;
    const QStringList names = type ? choices_.typeNames() : choices_.priorityNames();
    if (index < 0 || index >= names.size()) return;
    (type ? indexType_ : indexPriority_) = index;
    (type ? lblTypeString_ : lblSeverityString_)->setText(kChosenFormat.arg(names[index]));
    if (type)
        UserHelperBrelvo::shared().setTypeIndex(index);
    else
        UserHelperBrelvo::shared().setSeverityIndex(index);
    const QStringList& icons = type ? typeIcons_ : severityIcons_;
    if (index < icons.size()) Brel_ImageCache::shared().setImageByURL(icons[index], type ? typeIcon_ : severityIcon_);
}

QString FeedbackViewControllerBrelvo::summaryText() const {
    return summaryTextField_->text();
}

QString FeedbackViewControllerBrelvo::descriptionText() const {
    const QString text = descriptionTextView_->toPlainText();
    return text == kDescriptionPlaceholder ? QString() : text;
}

void FeedbackViewControllerBrelvo::setSummaryText(const QString& text) {
    summaryTextField_->setText(text);
    summaryTextField_->setCursorPosition(0);
}

void FeedbackViewControllerBrelvo::setDescriptionText(const QString& text) {
    descriptionTextView_->setPlainText(text);
    const QString colour = text == kDescriptionPlaceholder ? QStringLiteral("rgb(170, 170, 170)")
                                                            : QStringLiteral("rgb(85, 85, 85)");
    descriptionTextView_->setStyleSheet(QStringLiteral("QPlainTextEdit { %1 color: %2; }").arg(kFieldStyle, colour));
}

void FeedbackViewControllerBrelvo::goToModalTextViewsVC(bool summary) {
    if (textEntry_) return;
    auto* entry = new ModalTextViewsBrelvoVC(this);
    entry->setSummOrDescr(summary);
    textEntry_ = entry;
    entry->present(true);
}

// ---- the requirement ----------------------------------------------------------

void FeedbackViewControllerBrelvo::updateActiveRequirement() {
    activeRequirement_ = UserHelperBrelvo::shared().activeRequirement();
    const QString title = activeRequirement_.value(QStringLiteral("title")).toString();
    const QString number = activeRequirement_.value(QStringLiteral("number")).toString();
    auto* detach = requirementBox_->findChild<QPushButton*>(QStringLiteral("detach"));
    if (!title.isEmpty()) {
        lblRequirement_->setText(QStringLiteral("Issue will be attached to test %1: %2").arg(number, title));
        detach->setEnabled(true);
    } else {
        lblRequirement_->setText(kNotAttached);
        detach->setEnabled(false);
    }
    requirementBox_->setVisible(!activeRequirement_.isEmpty());
}

void FeedbackViewControllerBrelvo::btnCancelAttachedRequirement() {
    // With a test running only the form's box changes: the body's "rid" is
    // the running test's (IssueSender::requirementIdForIssue).
    UserHelperBrelvo::shared().setActiveRequirement({});
    updateActiveRequirement();
}

void FeedbackViewControllerBrelvo::showOfflineModeMessage(bool show) {
    offlineBar_->setVisible(show);
}

// ---- sending ------------------------------------------------------------------

QString FeedbackViewControllerBrelvo::validationMessage(bool typeChosen, bool severityChosen, const QString& summary,
                                                         const QString& description) {
    const bool summaryBlank = isBlank(summary);
    const bool descriptionBlank = isBlank(description) || description == kDescriptionPlaceholder;
    if (typeChosen && severityChosen && !summaryBlank && !descriptionBlank) return {};
    QString message;
    if (!typeChosen || !severityChosen) message = QStringLiteral("Fill type and severity");
    // A short summary is named only beside another fault: on its own it is sent.
    if (summaryBlank || summary.size() <= 2) message = QStringLiteral("Fill up summary");
    if (descriptionBlank)
        message = message.isEmpty() ? QStringLiteral("Fill up description") : message + QStringLiteral(". Fill up description");
    return message;
}

void FeedbackViewControllerBrelvo::btnSendPressed() {
    if (sending_) return;  // one send at a time: a second press would send the issue twice
    const QString message = validationMessage(lblTypeString_->text() != kTypePlaceholder,
                                              lblSeverityString_->text() != kSeverityPlaceholder, summaryText(),
                                              descriptionTextView_->toPlainText());
    if (!message.isEmpty()) {
        if (isBlank(summaryText()) || summaryText().size() <= 2)
            scroll_->verticalScrollBar()->setValue(0);
        showAlert(texts::errorTitle(), message);
        return;
    }
    const IssueDraft draft{summaryText(), descriptionText(), choices_.typeId(indexType_),
                           choices_.priorityId(indexPriority_)};
    sending_ = true;
    setLoadingHidden(false);
    if (!IssueSender::shared().send(draft)) {
        sending_ = false;
        setLoadingHidden(true);
        showAlert(texts::errorTitle(), QStringLiteral("Fill type and severity"));
    }
}

void FeedbackViewControllerBrelvo::issueSent(const QString& title, const QString& message) {
    if (!sending_) return;  // another sender's issue
    sending_ = false;
    showAlert(title, message);
    shouldCloseLib_ = true;
    // The stored screenshot list is the store's: the sender took the sent
    // ones off it, and one added while sending stays for the next issue.
    Defaults& defaults = Defaults::standard();
    for (const QString& key : {kTypeKey, kTitleKey, kDescriptionKey, kArrayKey}) defaults.setObject(QString(), key);
    defaults.setObject(qint64(1), kPriorityKey);
    defaults.synchronize();
    indexType_ = 1;
    indexPriority_ = 1;
    // A failed test's issue is out: later issues are not attached to it.
    if (NetworkClientBrelvo::shared().rrid().toInt() < 1 && !activeRequirement_.isEmpty()) {
        UserHelperBrelvo::shared().setActiveRequirement({});
        updateActiveRequirement();
    }
    rebuildScrollView();
    setLoadingHidden(true);
    resetFields();
}

void FeedbackViewControllerBrelvo::resetFields() {
    setDescriptionText(kDescriptionPlaceholder);
    setSummaryText(QString());
    typeIcon_->clear();
    severityIcon_->clear();
    lblSeverityString_->setText(kSeverityPlaceholder);
    lblTypeString_->setText(kTypePlaceholder);
    UserHelperBrelvo::shared().setTypeIndex(0);
    UserHelperBrelvo::shared().setSeverityIndex(0);
    NotificationCenter::defaultCenter().post(notifications::kMainOrScreenshot, 1);
}

void FeedbackViewControllerBrelvo::saveIssue() {
    Defaults& defaults = Defaults::standard();
    defaults.setObject(summaryText(), kTitleKey);
    defaults.setObject(descriptionText(), kDescriptionKey);
    defaults.synchronize();
}

void FeedbackViewControllerBrelvo::cancelButtonPressed() {
    if (!shouldCloseLib_) return;
    shouldCloseLib_ = false;
    hide();
    emit dismissed();
    if (closeMenu_) closeMenu_();
}

void FeedbackViewControllerBrelvo::btnBackPressed() {
    saveIssue();
    NotificationCenter::defaultCenter().post(notifications::kMainOrScreenshot, 1);
    hide();
    emit dismissed();
}

void FeedbackViewControllerBrelvo::setLoadingHidden(bool hidden) {
    loadingView_->setVisible(!hidden);
    if (!hidden) loadingView_->raise();
}

void FeedbackViewControllerBrelvo::showAlert(const QString& title, const QString& message) {
    auto* alert = new BVAlert(title, message, texts::okButton(), QString());
    alert->setBvAlertDelegate(this);
    alert->show();
}

// ---- screenshots --------------------------------------------------------------

void FeedbackViewControllerBrelvo::rebuildScrollView() {
    strip_->setPaths(ScreenshotStore::shared().list());
}

void FeedbackViewControllerBrelvo::goToLastScreenshot() {
    scroll_->verticalScrollBar()->setValue(scroll_->verticalScrollBar()->maximum());
}

void FeedbackViewControllerBrelvo::tapOnScreenshot(int index) {
    NotificationCenter::defaultCenter().post(notifications::kMainOrScreenshot, 0);
    const QString path = ScreenshotStore::pathAt(strip_->paths(), index);
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QImage image = path.isNull() ? QImage() : reader.read();
    if (image.isNull()) {  // gone since the strip was built
        rebuildScrollView();
        return;
    }
    auto* preview = new ScreenshotEditBrelvoVC(this, image, path);
    preview->setButtonTag(index);
    preview->present();
}

void FeedbackViewControllerBrelvo::btnMenuScreenshotsPressed() {
    if (!allowAnotherScreenshot()) return;
    (new ScreenshotEditBrelvoVC(this))->present();
}

void FeedbackViewControllerBrelvo::deleteScreenshotPressed(int index) {
    // By path: the strip's index may be older than the stored list.
    const QString path = ScreenshotStore::pathAt(strip_->paths(), index);
    if (!path.isNull()) ScreenshotStore::shared().remove(path);
    rebuildScrollView();
}

bool FeedbackViewControllerBrelvo::allowAnotherScreenshot() {
    if (ScreenshotStore::shared().canAdd()) return true;
    showAlert(texts::warningTitle(), texts::screenshotLimitMessage());
    return false;
}

void FeedbackViewControllerBrelvo::btnAddImageFromLibraryPressed() {
    if (!allowAnotherScreenshot()) return;
    saveIssue();
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("From library"), folder,
                                                      QStringLiteral("Images (*.png *.jpg *.jpeg *.bmp *.gif)"));
    if (!path.isEmpty()) addImageFile(path);
}

bool FeedbackViewControllerBrelvo::addImageFile(const QString& path) {
    QImageReader reader(path);
    reader.setAutoTransform(true);
    // Judged from the header: a huge picture is refused before it is decoded.
    const QSize size = reader.size();
    const QSize screenSize = screen::bounds();
    if (!size.isValid() || size.width() > 3 * screenSize.width() || size.height() > 3 * screenSize.height()) {
        showAlert(QStringLiteral("Warnign"), QStringLiteral("Image is too big"));
        return false;
    }
    const QImage image = reader.read();
    if (image.isNull()) {
        qCWarning(lcBrelvo) << "picture not read:" << reader.errorString();
        showAlert(QStringLiteral("Warnign"), QStringLiteral("Image is too big"));
        return false;
    }
    ScreenshotStore::shared().saveCapture(image);  // captureSaved rebuilds the strip
    return true;
}

void FeedbackViewControllerBrelvo::takeScreenshotButton() {
    NotificationCenter::defaultCenter().post(notifications::kMainOrScreenshot, 2);
    if (!allowAnotherScreenshot()) return;
    saveIssue();
    hide();
    emit dismissed();
    if (closeMenu_) closeMenu_();
}

}  // namespace brelvo
