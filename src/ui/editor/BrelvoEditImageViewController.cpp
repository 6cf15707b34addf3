#include "ui/editor/BrelvoEditImageViewController.h"

#include "platform/NotificationCenter.h"
#include "platform/Screen.h"
#include "state/NotificationNames.h"
#include "ui/editor/canvas/BrelvoEditView.h"
#include "ui/editor/tools/EditTools.h"
#include "ui/images/BrelvoImageManager.h"

#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>

namespace brelvo {

namespace {

constexpr int kMargin = 5;
constexpr int kWideButton = 70;
constexpr int kNarrowButton = 60;  // no room for a title beside the picture
constexpr int kStripButton = 31;
// Wide enough for the longest tool name beside its icon.
constexpr int kCurrentToolWidth = 110;
constexpr int kImageInset = 5;
constexpr int kIconSize = kStripButton - 2 * kImageInset;

const QColor kBarColour = QColor::fromRgbF(0.2118f, 0.2118f, 0.2118f);
const QColor kInstrumentColour = QColor::fromRgbF(0.2549f, 0.2549f, 0.2549f);
const QColor kSelectedColour = QColor::fromRgbF(0.7686f, 0.7686f, 0.7686f);
const QColor kUnavailableTitle = QColor::fromRgbF(0.4627f, 0.4627f, 0.4627f);

QImage imageForKey(const char* key) {
    return BrelvoImageManager::sharedInstance().getImageForKey(QString::fromLatin1(key));
}

QString buttonStyle(const QColor& background) {
    return QStringLiteral(
               "QPushButton { color: white; background: %1; border: none; border-radius: 2px; font-size: 13px;"
               " padding: 0 %2px; text-align: left; }"
               "QPushButton:pressed { color: rgb(170, 170, 170); }"
               "QPushButton:disabled { color: %3; }"
               "QPushButton:checked { background: %4; }")
        .arg(background.name())
        .arg(kImageInset)
        .arg(kUnavailableTitle.name(), kSelectedColour.name());
}

// A colour button's picture: a filled circle of radius 10 in the middle of
// the 31-point square, drawn at the screen's scale.
QIcon colourIcon(const QColor& colour) {
    const qreal ratio = screen::scale();
    QImage image(QSize(kStripButton, kStripButton) * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(colour == Qt::black ? QPen(QColor(120, 120, 120), 1) : Qt::NoPen);  // black on a dark strip
    p.setBrush(colour);
    p.drawEllipse(QPointF(15.5, 15.5), 10, 10);
    p.end();
    return QIcon(QPixmap::fromImage(image));
}

QPushButton* chromeButton(QWidget* parent, const QString& title, const QColor& background) {
    auto* button = new QPushButton(title, parent);
    button->setFocusPolicy(Qt::NoFocus);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(buttonStyle(background));
    button->setIconSize(QSize(kIconSize, kIconSize));
    return button;
}

}  // namespace

const std::array<BrelvoEditImageViewController::Tool, 5>& BrelvoEditImageViewController::tools() {
    static const std::array<Tool, 5> all{{{"icon_pencil", "Pencil"},
                                          {"icon_marker", "Marker"},
                                          {"icon_text", "Text"},
                                          {"icon_crop", "Crop"},
                                          {"icon_arrow", "Arrow"}}};
    return all;
}

const std::vector<int>& BrelvoEditImageViewController::offeredTools() {
    static const std::vector<int> offered{0, 1, 2, 3, 4};
    return offered;
}

BrelvoEditImageViewController::Layout BrelvoEditImageViewController::layoutFor(const QSize& screen, bool tablet,
                                                                                 bool editing) {
    const int w = screen.width();
    const int h = screen.height();
    const bool sideways = w > h;
    const bool bottomBar = !tablet && !sideways;
    const int y = (kBarHeight - kButtonHeight) / 2;
    // Held sideways a phone's top bar holds the strip too: on a short phone
    // undo and redo narrow to their pictures.
    const int row = 4 * kWideButton + kStripWidth + 6 * kMargin;
    const int undoWidth = !tablet && sideways && w < row ? kNarrowButton : kWideButton;
    Layout l;
    l.topBar = QRect(0, 0, w, kBarHeight);
    l.bottomBar = bottomBar ? QRect(0, h - kBarHeight, w, kBarHeight) : QRect(0, h, w, kBarHeight);
    l.canvas = QRect(0, kBarHeight, w, qMax(0, h - kBarHeight - (bottomBar ? kBarHeight : 0)));
    l.exit = QRect(kMargin, y, kWideButton, kButtonHeight);
    l.save = QRect(w - kMargin - kWideButton, y, kWideButton, kButtonHeight);
    l.undo = QRect(l.exit.right() + 1 + kMargin, y, undoWidth, kButtonHeight);
    l.redo = QRect(l.undo.right() + 1 + kMargin, y, undoWidth, kButtonHeight);
    l.currentTool = QRect(l.undo.topLeft(), QSize(kCurrentToolWidth, kButtonHeight));
    if (bottomBar)
        l.strip = QRect(w / 2 - 87, h - (kBarHeight - y), kStripWidth, kButtonHeight);
    else if (tablet && !editing)
        l.strip = QRect(l.redo.right() + 1 + kMargin, y, kStripWidth, kButtonHeight);
    else
        l.strip = QRect(l.save.x() - kStripWidth - kMargin, y, kStripWidth, kButtonHeight);
    return l;
}

BrelvoEditImageViewController::BrelvoEditImageViewController(const QImage& screenShot,
                                                             const QString& originalScreenshotName,
                                                             int selectedImageIndex)
    : originalScreenshotName_(originalScreenshotName), selectedImageIndex_(selectedImageIndex) {
    topBar_ = new QWidget(this);
    bottomBar_ = new QWidget(this);
    for (QWidget* bar : {topBar_, bottomBar_}) {
        bar->setAttribute(Qt::WA_StyledBackground);
        bar->setStyleSheet(QStringLiteral("background: %1;").arg(kBarColour.name()));
    }

    exitButton_ = chromeButton(this, QStringLiteral("Exit"), QColor::fromRgbF(0.2980f, 0.2510f, 0.1922f));
    exitButton_->setIcon(QPixmap::fromImage(imageForKey("back")));
    saveButton_ = chromeButton(this, QStringLiteral("Save"), QColor::fromRgbF(0.3098f, 0.3725f, 0.4157f));
    saveButton_->setIcon(QPixmap::fromImage(imageForKey("save")));
    undoButton_ = chromeButton(this, QStringLiteral("Undo"), kInstrumentColour);
    redoButton_ = chromeButton(this, QStringLiteral("Redo"), kInstrumentColour);
    setAvailable(undoButton_, false);
    setAvailable(redoButton_, false);
    connect(exitButton_, &QPushButton::clicked, this, &BrelvoEditImageViewController::exitButtonTapped);
    connect(saveButton_, &QPushButton::clicked, this, &BrelvoEditImageViewController::saveButtonTapped);
    connect(undoButton_, &QPushButton::clicked, this, &BrelvoEditImageViewController::undoButtonTapped);
    connect(redoButton_, &QPushButton::clicked, this, &BrelvoEditImageViewController::redoButtonTapped);

    strip_ = new QWidget(this);
    for (int i = 0; i < int(stripButtons_.size()); ++i) {
        auto* button = chromeButton(strip_, QString(), kInstrumentColour);
        button->setStyleSheet(buttonStyle(kInstrumentColour) +
                              QStringLiteral("QPushButton { padding: 0; text-align: center; }"));
        connect(button, &QPushButton::clicked, this, [this, i] { instrumentsButtonsTapped(i); });
        stripButtons_[i] = button;
    }

    currentInstrument_ = new QWidget(this);
    currentIcon_ = new QLabel(currentInstrument_);
    currentIcon_->setScaledContents(true);
    currentIcon_->setGeometry(0, (kButtonHeight - 20) / 2, 20, 20);
    currentName_ = new QLabel(currentInstrument_);
    currentName_->setStyleSheet(QStringLiteral("color: white; background: transparent; font-size: 17px;"));
    currentName_->setGeometry(26, 0, kCurrentToolWidth - 26, kButtonHeight);
    currentInstrument_->hide();

    editorView_ = new BrelvoEditView(this);
    editorView_->setSourceImage(screenShot);
    refreshStrip();
    layoutElements();
}

void BrelvoEditImageViewController::setAvailable(QPushButton* button, bool available) {
    // Unavailable shows the grey picture and title; the button takes no taps.
    button->setEnabled(available);
    const bool undo = button == undoButton_;
    const char* key = available ? (undo ? "undo_act" : "redo_act") : (undo ? "undo" : "redo");
    button->setIcon(QPixmap::fromImage(imageForKey(key)));
}

void BrelvoEditImageViewController::refreshStrip() {
    const auto& offered = offeredTools();
    for (int i = 0; i < int(stripButtons_.size()); ++i) {
        QPushButton* button = stripButtons_[i];
        button->setCheckable(enableEditMode_);
        button->setChecked(false);
        if (enableEditMode_) {
            button->setIcon(colourIcon(EditCanvas::colorsArray()[i]));
            button->setIconSize(QSize(kStripButton, kStripButton));
            button->setVisible(true);
        } else {
            const bool shown = i < int(offered.size());
            if (shown) button->setIcon(QPixmap::fromImage(imageForKey(tools()[offered[i]].iconKey)));
            button->setIconSize(QSize(kIconSize, kIconSize));
            button->setVisible(shown);
        }
    }
}

void BrelvoEditImageViewController::setEnableEditMode(bool on) {
    enableEditMode_ = on;
    refreshStrip();
    exitButton_->setText(on ? QStringLiteral("Back") : QStringLiteral("Exit"));
    saveButton_->setText(on ? QStringLiteral("Apply") : QStringLiteral("Save"));
    if (on) {
        stripButtons_[0]->setChecked(true);
    } else {
        editorView_->setCurrentEditMode(kModeNone);
    }
    currentInstrument_->setVisible(on);
    layoutElements();
}

void BrelvoEditImageViewController::instrumentsButtonsTapped(int index) {
    if (index < 0 || index >= int(stripButtons_.size())) return;
    if (enableEditMode_) {
        for (QPushButton* button : stripButtons_) button->setChecked(false);
        stripButtons_[index]->setChecked(true);
        editorView_->setCurrentColor(index);
        return;
    }
    if (index >= int(offeredTools().size())) return;
    const int tool = offeredTools()[index];
    editorView_->setCurrentEditMode(tool + 1);
    editorView_->setCurrentColor(0);
    currentIcon_->setPixmap(QPixmap::fromImage(imageForKey(tools()[tool].iconKey)));
    currentName_->setText(QString::fromLatin1(tools()[tool].name));
    setEnableEditMode(true);
}

void BrelvoEditImageViewController::exitButtonTapped() {
    if (isLeaving()) return;
    if (enableEditMode_) {
        editorView_->discardChanges();
        setEnableEditMode(false);
        return;
    }
    // The picture is edited in its own file, not in a copy: there is no extra
    // screenshot to drop, whatever was applied.
    QPointer<BrelvoEditImageViewController> self(this);
    emit exited();
    if (self) leave(false);
}

void BrelvoEditImageViewController::saveButtonTapped() {
    if (isLeaving()) return;
    if (enableEditMode_) {
        if (editorView_->applyChanges()) {
            setAvailable(undoButton_, true);
            setAvailable(redoButton_, false);
        }
        setEnableEditMode(false);
        return;
    }
    // The presenter replaces the file in one step and closes the stack; a
    // failed write keeps the former picture and this screen open.
    emit saved(editorView_->getEditedImage());
    NotificationCenter::defaultCenter().post(notifications::kUpdateScreenshots);
}

void BrelvoEditImageViewController::undoButtonTapped() {
    if (enableEditMode_ || !undoButton_->isEnabled()) return;
    if (editorView_->undoChanges()) setAvailable(undoButton_, false);
    setAvailable(redoButton_, true);
}

void BrelvoEditImageViewController::redoButtonTapped() {
    if (enableEditMode_ || !redoButton_->isEnabled()) return;
    if (editorView_->redoChanges()) setAvailable(redoButton_, false);
    setAvailable(undoButton_, true);
}

void BrelvoEditImageViewController::layoutElements() {
    const Layout l = layoutFor(size(), screen::isTablet(), enableEditMode_);
    topBar_->setGeometry(l.topBar);
    bottomBar_->setGeometry(l.bottomBar);
    bottomBar_->setVisible(l.bottomBar.bottom() < height());
    editorView_->setGeometry(l.canvas);
    exitButton_->setGeometry(l.exit);
    saveButton_->setGeometry(l.save);
    undoButton_->setGeometry(l.undo);
    redoButton_->setGeometry(l.redo);
    const bool titled = l.undo.width() >= kWideButton;
    undoButton_->setText(titled ? QStringLiteral("Undo") : QString());
    redoButton_->setText(titled ? QStringLiteral("Redo") : QString());
    const QString undoStyle = buttonStyle(kInstrumentColour) +
                              (titled ? QString() : QStringLiteral("QPushButton { text-align: center; }"));
    if (undoButton_->styleSheet() != undoStyle) {
        undoButton_->setStyleSheet(undoStyle);
        redoButton_->setStyleSheet(undoStyle);
    }
    // Undo and redo are for viewing; the tool in use takes their place.
    undoButton_->setVisible(!enableEditMode_);
    redoButton_->setVisible(!enableEditMode_);
    currentInstrument_->setGeometry(l.currentTool);
    strip_->setGeometry(l.strip);
    // The buttons shown sit in the middle of the strip.
    int shown = 0;
    for (QPushButton* button : stripButtons_) shown += button->isVisibleTo(strip_) ? 1 : 0;
    int x = (l.strip.width() - (shown * kStripButton + (shown - 1) * kMargin)) / 2;
    for (QPushButton* button : stripButtons_) {
        if (!button->isVisibleTo(strip_)) continue;
        button->setGeometry(x, 0, kStripButton, kStripButton);
        x += kStripButton + kMargin;
    }
    // The crop frame takes the whole picture: no colours to choose.
    strip_->setVisible(editorView_->currentEditMode() != kModeCrop);
    for (QWidget* w : std::initializer_list<QWidget*>{exitButton_, saveButton_, undoButton_, redoButton_,
                                                      currentInstrument_, strip_})
        w->raise();
}

void BrelvoEditImageViewController::resizeEvent(QResizeEvent*) {
    layoutElements();
}

void BrelvoEditImageViewController::paintEvent(QPaintEvent*) {
    QPainter(this).fillRect(rect(), Qt::black);
}

}  // namespace brelvo
