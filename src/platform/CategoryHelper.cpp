#include "platform/CategoryHelper.h"

#include "platform/ActivityIndicator.h"
#include "platform/Autoresizing.h"
#include "platform/Json.h"
#include "platform/ViewTags.h"

#include <QCryptographicHash>
#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QWidget>

namespace brelvo {
namespace {

// Swallows every input event so that nothing below it can be used while it shows.
class InputBlocker : public QWidget {
public:
    using QWidget::QWidget;

protected:
    bool event(QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TouchCancel:
            event->accept();
            return true;
        default:
            return QWidget::event(event);
        }
    }
};

}  // namespace

CategoryHelper& CategoryHelper::shared() {
    static CategoryHelper helper;
    return helper;
}

QVariant CategoryHelper::dictionaryFromJSONString(const QString& text) const {
    return json::parse(text.toUtf8());
}

bool CategoryHelper::isNotEmptyString(const QVariant& value) const {
    return value.typeId() == QMetaType::QString && !value.toString().isEmpty();
}

QString CategoryHelper::base64StringFromString(const QString& text) const {
    // UTF-8 rather than ASCII: identical for ASCII text, and a non-ASCII
    // character no longer makes the whole result empty.
    QByteArray encoded = text.toUtf8().toBase64();
    encoded.replace('=', QByteArray());
    return QString::fromLatin1(encoded);
}

QString CategoryHelper::getMD5HashFromString(const QString& text) const {
    return QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex().toUpper());
}

void CategoryHelper::showSmallActivityViewOnView(QWidget* view) const {
    if (!view) return;
    auto* overlay = new InputBlocker(view);
    overlay->setGeometry(view->rect());
    tags::setTag(overlay, kActivityViewTag);
    auto* opacity = new QGraphicsOpacityEffect(overlay);
    opacity->setOpacity(0.8);
    overlay->setGraphicsEffect(opacity);
    setFullAutoresizingView(overlay);

    auto* box = new QWidget(overlay);
    box->setAttribute(Qt::WA_StyledBackground);
    box->setStyleSheet(QStringLiteral("background-color: black; border-radius: 10px;"));
    box->setGeometry(overlay->width() / 2 - 50, overlay->height() / 2 - 50, 100, 100);
    setMarginAutoresizingView(box);

    auto* indicator = new ActivityIndicator(ActivityIndicator::LargeWhite, box);
    indicator->move(50 - indicator->width() / 2, 50 - indicator->height() / 2);
    indicator->startAnimating();

    overlay->show();
    overlay->raise();
}

void CategoryHelper::removeActivityViewFromView(QWidget* view) const {
    QWidget* overlay = tags::viewWithTag(view, kActivityViewTag);
    if (!overlay || overlay == view) return;
    overlay->hide();
    overlay->setParent(nullptr);
    overlay->deleteLater();
}

int CategoryHelper::fullAutoresizing() const {
    return autoresizing::Full;
}

void CategoryHelper::setFullAutoresizingView(QWidget* view) const {
    autoresizing::setMask(view, autoresizing::Full);
}

void CategoryHelper::setMarginAutoresizingView(QWidget* view) const {
    autoresizing::setMask(view, autoresizing::Margins);
}

QImage CategoryHelper::getImageWithName(const QString& name) const {
    return QImage(QStringLiteral(":/BrelvoSDKResources.bundle/") + name);
}

}  // namespace brelvo
