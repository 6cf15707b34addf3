#include "ui/issue/OXPickerViewBrelvo.h"

#include "platform/LibraryFont.h"
#include "platform/Screen.h"
#include "platform/WindowLayer.h"
#include "state/UserHelperBrelvo.h"
#include "ui/common/NavBar.h"
#include "ui/images/Brel_ImageCache.h"

#include <QEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QParallelAnimationGroup>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QVariantAnimation>

namespace brelvo {

namespace {

const QString kTypeTitle = QStringLiteral("Type:");
const QString kSeverityTitle = QStringLiteral("Severity:");

constexpr int kIconSize = 20;

// Black at the given opacity, over the whole window it is put into.
class Dimming : public QWidget {
public:
    explicit Dimming(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_NoSystemBackground); }
    void setAlpha(qreal alpha) {
        alpha_ = alpha;
        update();
    }
    qreal alpha() const { return alpha_; }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), QColor(0, 0, 0, qRound(alpha_ * 255))); }

private:
    qreal alpha_ = 0;
};

QAbstractAnimation* fade(Dimming* dimming, qreal to, QObject* parent) {
    auto* animation = new QVariantAnimation(parent);
    animation->setDuration(OXPickerViewBrelvo::kAnimationMs);
    animation->setStartValue(dimming->alpha());
    animation->setEndValue(to);
    QPointer<Dimming> target(dimming);
    QObject::connect(animation, &QVariantAnimation::valueChanged, dimming, [target](const QVariant& v) {
        if (target) target->setAlpha(v.toReal());
    });
    return animation;
}

}  // namespace

OXPickerViewBrelvo* OXPickerViewBrelvo::setupPickerViewWithContent(const QStringList& content, const QString& title,
                                                                   const QStringList& icons) {
    return new OXPickerViewBrelvo(content, title, icons);
}

OXPickerViewBrelvo::OXPickerViewBrelvo(const QStringList& content, const QString& title, const QStringList& icons)
    : content_(content), arrUrls_(icons) {
    libraryfont::adopt(this);  // the last window may be one of the host's
    setGeometry(0, 0, kPhoneWidth, kPhonePickerHeight);
    titleLabel_ = new QLabel(title);
}

QString OXPickerViewBrelvo::title() const {
    return titleLabel_->text();
}

int OXPickerViewBrelvo::selectedRow() const {
    return picker_ ? picker_->currentRow() : -1;
}

void OXPickerViewBrelvo::paintEvent(QPaintEvent*) {
    QPainter(this).fillRect(rect(), Qt::white);
}

void OXPickerViewBrelvo::showPicker() {
    build(kPhoneWidth, kPhonePickerHeight);
}

void OXPickerViewBrelvo::showPickerWithFrame(const QRect& frame) {
    build(frame.width(), kTabletPickerHeight);
}

void OXPickerViewBrelvo::build(int width, int pickerHeight) {
    QWidget* window = windows::last();
    if (!window || picker_) return;

    // The sheet holds the bar and the whole list, so that all of it is on screen.
    resize(width, kBarHeight + pickerHeight);
    toolbar_ = new QWidget(this);
    toolbar_->setGeometry(0, 0, width, kBarHeight);
    toolbar_->setAutoFillBackground(true);
    toolbar_->setStyleSheet(QStringLiteral("background: %1;").arg(NavBar::kColour.name()));
    done_ = new QPushButton(QStringLiteral("Done"), toolbar_);
    done_->setFocusPolicy(Qt::NoFocus);
    done_->setCursor(Qt::PointingHandCursor);
    done_->setStyleSheet(QStringLiteral(
        "QPushButton { color: white; background: transparent; border: none; font-weight: bold; font-size: 17px;"
        " padding: 0 4px; }"
        "QPushButton:pressed { color: rgb(150, 150, 150); }"));
    done_->ensurePolished();  // measured in its style sheet's font
    done_->adjustSize();
    // As a picker's toolbar: the title at the left, "Done" against the right edge.
    constexpr int kBarInset = 12;
    done_->setGeometry(width - kBarInset - done_->width(), 0, done_->width(), kBarHeight);
    connect(done_, &QPushButton::clicked, this, &OXPickerViewBrelvo::choose);
    titleLabel_->setParent(toolbar_);
    titleLabel_->setAttribute(Qt::WA_TransparentForMouseEvents);  // in front of the bar, but Done stays tappable
    titleLabel_->setGeometry(kBarInset + 4, 0, qMax(0, done_->x() - 2 * kBarInset - 4), kBarHeight);
    titleLabel_->setStyleSheet(barTitleStyle());
    titleLabel_->show();
    titleLabel_->raise();

    picker_ = new QListWidget(this);
    picker_->setGeometry(0, kBarHeight, width, pickerHeight);
    picker_->setFrameShape(QFrame::NoFrame);
    picker_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    picker_->setStyleSheet(QStringLiteral(
        "QListWidget { background: white; outline: none; }"
        "QListWidget::item { border: none; }"
        "QListWidget::item:selected { background: rgb(214, 226, 245); }"));
    for (int row = 0; row < content_.size(); ++row) {
        auto* item = new QListWidgetItem(picker_);
        item->setSizeHint(QSize(width, kRowHeight));
        picker_->setItemWidget(item, rowView(row));
    }
    // The remembered choice of this kind of picker.
    int remembered = 0;
    if (title() == kTypeTitle) remembered = int(UserHelperBrelvo::shared().typeIndex());
    if (title() == kSeverityTitle) remembered = int(UserHelperBrelvo::shared().severityIndex());
    if (remembered < 0 || remembered >= content_.size()) remembered = 0;
    if (!content_.isEmpty()) {
        picker_->setCurrentRow(remembered);
        picker_->scrollToItem(picker_->item(remembered), QAbstractItemView::PositionAtCenter);
    }

    auto* dimming = new Dimming(window);
    background_ = dimming;
    placeBackground();
    dimming->show();
    setParent(window);
    const QRect resting = restingFrame();
    setGeometry(resting.translated(0, resting.height()));
    show();
    raise();
    window->installEventFilter(this);

    auto* group = new QParallelAnimationGroup(this);
    group->addAnimation(fade(dimming, kDimmedAlpha, group));
    auto* slide = new QPropertyAnimation(this, "geometry", group);
    slide->setDuration(kAnimationMs);
    slide->setEndValue(resting);
    group->addAnimation(slide);
    group->start(QAbstractAnimation::DeleteWhenStopped);
}

QWidget* OXPickerViewBrelvo::rowView(int row) {
    auto* container = new QWidget;
    // Clear, so that the list's selection shows through.
    container->setAttribute(Qt::WA_TranslucentBackground);
    container->setStyleSheet(QStringLiteral("background: transparent;"));
    auto* label = new QLabel(content_.at(row), container);
    label->setGeometry(10, 0, width() - 80, kRowHeight);
    label->setStyleSheet(QStringLiteral("color: black; background: transparent; font-size: 20px;"));
    const bool withIcons = !arrUrls_.isEmpty() && (title() == kTypeTitle || title() == kSeverityTitle);
    if (withIcons && row < arrUrls_.size()) {
        auto* icon = new QLabel(container);
        icon->setGeometry(width() - 60, 10, kIconSize, kIconSize);
        icon->setScaledContents(true);
        Brel_ImageCache::shared().setImageByURL(arrUrls_.at(row), icon);
    }
    return container;
}

QRect OXPickerViewBrelvo::restingFrame() const {
    QWidget* window = parentWidget();
    QWidget* screenWindow = screen::window();
    const QSize bounds = screen::bounds();
    if (!window || !screenWindow || bounds.isEmpty()) return QRect(QPoint(0, 0), size());
    QPoint bottomCentre(bounds.width() / 2, bounds.height());
    if (window != screenWindow && screenWindow->isAncestorOf(window)) bottomCentre = window->mapFrom(screenWindow, bottomCentre);
    return QRect(bottomCentre.x() - width() / 2, bottomCentre.y() - height(), width(), height());
}

void OXPickerViewBrelvo::placeBackground() {
    QWidget* window = background_ ? background_->parentWidget() : nullptr;
    if (!window) return;
    const QWidget* key = windows::keyWindow();
    background_->setGeometry(QRect(QPoint(0, 0), key ? key->size() : window->size()));
}

bool OXPickerViewBrelvo::eventFilter(QObject* watched, QEvent* event) {
    // The screen turned or was resized: back to the bottom centre.
    if (watched == parentWidget() && event->type() == QEvent::Resize && !hiding_) {
        placeBackground();
        setGeometry(restingFrame());
    }
    return QWidget::eventFilter(watched, event);
}

void OXPickerViewBrelvo::choose() {
    if (hiding_) return;  // a second press while the sheet leaves
    const int row = selectedRow();
    if (delegate_ && row >= 0 && row < content_.size()) {
        delegate_->chooseValue(content_.at(row));
        delegate_->chooseValueIndex(row);
    }
    hidePicker();
}

void OXPickerViewBrelvo::hidePicker() {
    if (hiding_) return;
    hiding_ = true;
    if (parentWidget()) parentWidget()->removeEventFilter(this);
    auto* group = new QParallelAnimationGroup(this);
    if (auto* dimming = static_cast<Dimming*>(background_.data())) group->addAnimation(fade(dimming, 0, group));
    auto* slide = new QPropertyAnimation(this, "geometry", group);
    slide->setDuration(kAnimationMs);
    slide->setEndValue(geometry().translated(0, height()));
    group->addAnimation(slide);
    connect(group, &QAbstractAnimation::finished, this, [this] {
        if (background_) background_->deleteLater();
        deleteLater();
    });
    group->start(QAbstractAnimation::DeleteWhenStopped);
}

}  // namespace brelvo
