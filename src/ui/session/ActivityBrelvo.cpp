#include "ui/session/ActivityBrelvo.h"

#include "platform/ImageButton.h"
#include "platform/Log.h"
#include "platform/Screen.h"
#include "platform/WindowLayer.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

namespace brelvo {
namespace {

// The nearest widget of type T from the view up, at most `levels` parents above it
// (item views and text views take their touches in a viewport child).
template <typename T>
T* nearest(QWidget* view, int levels = 1) {
    for (int i = 0; view && i <= levels; ++i, view = view->parentWidget())
        if (auto* hit = qobject_cast<T*>(view)) return hit;
    return nullptr;
}

bool isSwitch(const QWidget* view) {
    return qobject_cast<const QCheckBox*>(view) || qobject_cast<const QRadioButton*>(view);
}

bool isNavigationButton(const QWidget* view) {
    return qobject_cast<const QToolButton*>(view) && view->parentWidget() &&
           qobject_cast<const QToolBar*>(view->parentWidget());
}

QString describeImage(const QImage& image) {
    return QStringLiteral("<QImage: {%1, %2}>").arg(image.width()).arg(image.height());
}

}  // namespace

ActivityBrelvo& ActivityBrelvo::shared() {
    static ActivityBrelvo* instance = new ActivityBrelvo;
    return *instance;
}

void ActivityBrelvo::trackActivity() {
    if (installed_ || !qApp) return;
    installed_ = true;
    qApp->installEventFilter(this);
}

QWidget* ActivityBrelvo::topViewController() {
    if (QWidget* key = windows::keyWindow()) return key;
    return screen::window();
}

void ActivityBrelvo::grabUIAlertView() {
    alertView_.clear();
    topVC_ = topViewController();
    QWidget* key = windows::keyWindow();
    if (!key) return;
    for (QMessageBox* box : key->findChildren<QMessageBox*>(Qt::FindDirectChildrenOnly)) {
        alertView_ = box;
        box->hide();
    }
}

void ActivityBrelvo::backUIAlertView() {
    if (!alertView_) return;
    alertView_->show();
    alertView_->raise();
}

QString ActivityBrelvo::describe(const QObject* object) {
    if (!object) return QStringLiteral("(null)");
    QString text = QStringLiteral("<%1: 0x%2")
                       .arg(QString::fromLatin1(object->metaObject()->className()))
                       .arg(quintptr(object), 0, 16);
    if (!object->objectName().isEmpty()) text += QStringLiteral("; name = \"%1\"").arg(object->objectName());
    if (object->isWidgetType()) {
        const QRect g = static_cast<const QWidget*>(object)->geometry();
        text += QStringLiteral("; frame = (%1 %2; %3 %4)").arg(g.x()).arg(g.y()).arg(g.width()).arg(g.height());
    }
    return text + u'>';
}

bool ActivityBrelvo::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease) return false;
    if (!toTrackActivity_.load() || !watched->isWidgetType()) return false;
    auto* view = static_cast<QWidget*>(watched);
    const auto* mouse = static_cast<const QMouseEvent*>(event);
    // An event nobody took travels up to the parents as a copy; the touch is
    // the widget it first went to.
    if (int(type) == seen_.type && mouse->timestamp() == seen_.timestamp &&
        mouse->globalPosition() == seen_.global && seen_.view && view->isAncestorOf(seen_.view))
        return false;
    seen_ = {int(type), mouse->timestamp(), mouse->globalPosition(), view};
    touched(view, mouse, type == QEvent::MouseButtonRelease);
    return false;
}

void ActivityBrelvo::touched(QWidget* view, const QMouseEvent* event, bool ended) {
    const QPoint point = event->position().toPoint();
    QWidget* resp = view->parentWidget();
    if (ended) {
        qCInfo(lcActivity).noquote() << "touch.view:" << describe(view);
        qCInfo(lcActivity).noquote() << "resp:" << describe(resp);
        qCInfo(lcActivity).noquote() << "resp.nextResponder:" << describe(resp ? resp->parentWidget() : nullptr);
        checkForUICollectionViewCell(view, point);
        checkForUIButton(view);
        checkForUIStepper(view);
        checkForUINavigationBar(view, point);
        // Switches and tab bars change their state while the release is
        // handled; look at them once it has settled.
        QPointer<QWidget> later(view);
        if (isSwitch(view))
            QTimer::singleShot(kSettleMs, this, [this, later] {
                if (later) checkForUISwitch(later);
            });
        if (qobject_cast<QTabBar*>(view) && qobject_cast<QTabWidget*>(view->parentWidget()))
            QTimer::singleShot(kSettleMs, this, [this, later] {
                if (later) checkForUITabBar(later);
            });
        checkForUITableViewCell(view, point);
        checkForUITextField(view);
        checkForUISlider(view);
    } else {
        QPointer<QWidget> later(view);
        if (qobject_cast<QTabBar*>(view) && !qobject_cast<QTabWidget*>(view->parentWidget()))
            QTimer::singleShot(kSettleMs, this, [this, later] {
                if (later) checkForUISegmentedControl(later);
            });
    }
}

void ActivityBrelvo::checkForUIButton(QWidget* view) {
    auto* button = qobject_cast<QAbstractButton*>(view);
    if (!button || isSwitch(button) || isNavigationButton(button)) return;
    if (!button->text().isEmpty())
        qCInfo(lcActivity).noquote() << "BUTTON TITLE:" << button->text();
    else if (!button->icon().isNull())
        qCInfo(lcActivity).noquote() << "BUTTON IMAGE:" << QStringLiteral("<QIcon: %1>").arg(button->icon().name());
    else if (auto* picture = qobject_cast<ImageButton*>(button))
        qCInfo(lcActivity).noquote() << "BUTTON BACKGROUND IMAGE:" << describeImage(picture->image());
    qCInfo(lcActivity).noquote() << "BUTTON WAS PRESSED";
}

void ActivityBrelvo::checkForUITableViewCell(QWidget* view, const QPoint& point) {
    auto* items = nearest<QAbstractItemView>(view);
    if (!items) return;
    if (auto* list = qobject_cast<QListView*>(items); list && list->viewMode() == QListView::IconMode) return;
    const QModelIndex index = items->indexAt(items->viewport()->mapFrom(view, point));
    if (!index.isValid()) return;
    qCInfo(lcActivity).noquote() << "TOUCHED THIS VIEW:" << describe(items);
    qCInfo(lcActivity).noquote() << QStringLiteral("SECTION: %1").arg(index.parent().isValid() ? index.parent().row() : 0);
    qCInfo(lcActivity).noquote() << QStringLiteral("TABLE VIEW CELL INDEX ROW: %1").arg(index.row());
}

void ActivityBrelvo::checkForUICollectionViewCell(QWidget* view, const QPoint& point) {
    auto* list = nearest<QListView>(view);
    if (!list || list->viewMode() != QListView::IconMode) return;
    const QModelIndex index = list->indexAt(list->viewport()->mapFrom(view, point));
    if (index.isValid()) qCInfo(lcActivity).noquote() << QStringLiteral("COLLECTION VIEW CELL INDEX.ROW: %1").arg(index.row());
}

void ActivityBrelvo::checkForUIStepper(QWidget* view) {
    auto* box = nearest<QAbstractSpinBox>(view);
    if (!box) return;
    double value = 0;
    if (auto* spin = qobject_cast<QSpinBox*>(box))
        value = spin->value();
    else if (auto* real = qobject_cast<QDoubleSpinBox*>(box))
        value = real->value();
    else
        return;
    qCInfo(lcActivity).noquote() << QStringLiteral("STEPPER VALUE: %1").arg(value, 0, 'g');
}

void ActivityBrelvo::checkForUISlider(QWidget* view) {
    auto* slider = qobject_cast<QAbstractSlider*>(view);
    if (!slider || qobject_cast<QScrollBar*>(slider)) return;
    qCInfo(lcActivity).noquote() << QStringLiteral("SLIDER VALUE: %1").arg(double(slider->value()), 0, 'g');
}

void ActivityBrelvo::checkForUISwitch(QWidget* view) {
    auto* button = qobject_cast<QAbstractButton*>(view);
    if (!button || !isSwitch(button)) return;
    qCInfo(lcActivity).noquote() << QStringLiteral("SWITCH STATE: %1").arg(button->isChecked() ? 1 : 0);
}

void ActivityBrelvo::checkForUINavigationBar(QWidget* view, const QPoint& point) {
    if (isNavigationButton(view)) {
        auto* button = static_cast<QToolButton*>(view);
        const QString title = button->text().isEmpty() && button->defaultAction() ? button->defaultAction()->text()
                                                                                  : button->text();
        qCInfo(lcActivity).noquote() << "NAVIGATION BUTTON PRESSED:" << title;
    } else if (auto* bar = qobject_cast<QMenuBar*>(view)) {
        if (QAction* action = bar->actionAt(point))
            qCInfo(lcActivity).noquote() << "NAVIGATION BUTTON PRESSED:" << action->text();
    }
}

void ActivityBrelvo::checkForUISegmentedControl(QWidget* view) {
    auto* bar = qobject_cast<QTabBar*>(view);
    if (!bar || bar->currentIndex() < 0) return;
    qCInfo(lcActivity).noquote() << QStringLiteral("SEGMENTED CONTROL: \"%1\" selectedSegmentControl: %2")
                                      .arg(bar->tabText(bar->currentIndex()))
                                      .arg(bar->currentIndex());
}

void ActivityBrelvo::checkForUITextField(QWidget* view) {
    QWidget* field = nearest<QLineEdit>(view);
    if (!field) field = nearest<QTextEdit>(view);
    if (!field) field = nearest<QPlainTextEdit>(view);
    // The text inside a spin box belongs to the stepper. What was typed is
    // never logged (it may be a password), only which field it was.
    if (!field || nearest<QAbstractSpinBox>(field)) return;
    qCInfo(lcActivity).noquote() << "TEXT VIEW WAS PRESSED:" << describe(field);
}

void ActivityBrelvo::checkForUITabBar(QWidget* view) {
    auto* bar = qobject_cast<QTabBar*>(view);
    auto* tabs = bar ? qobject_cast<QTabWidget*>(bar->parentWidget()) : nullptr;
    if (!tabs || tabs->currentIndex() < 0) return;
    qCInfo(lcActivity).noquote() << QStringLiteral("TAB_BAR VIEW CONTROLLER: %1 AT INDEX: %2")
                                      .arg(describe(tabs->currentWidget()))
                                      .arg(tabs->currentIndex());
    qCInfo(lcActivity).noquote() << "TAB_BAR ITEM TITLE:" << tabs->tabText(tabs->currentIndex());
}

}  // namespace brelvo
