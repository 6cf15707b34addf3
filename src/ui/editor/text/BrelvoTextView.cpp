#include "ui/editor/text/BrelvoTextView.h"

#include "platform/LibraryFont.h"

#include <QFontMetricsF>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTextBoundaryFinder>

#include <cmath>

namespace brelvo {

namespace {

const QRectF kStartFrame(50, 50, 100, 50);
const QColor kBorderGrey = QColor::fromRgbF(0.412f, 0.416f, 0.412f);
const QColor kFieldBackground = QColor::fromRgbF(0, 0, 0, 0.1f);
constexpr qreal kCornerRadius = 5;
constexpr qreal kCaretWidth = 2;

QFont fieldFont() {
    return libraryfont::font(33);
}

// The text less its last character as the reader sees it (a letter with its
// accents, an emoji with its modifiers).
QString withoutLastCharacter(const QString& text) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    finder.toEnd();
    const qsizetype start = finder.toPreviousBoundary();
    return start > 0 ? text.left(start) : QString();
}

}  // namespace

BrelvoTextView::BrelvoTextView(QWidget* parent) : QWidget(parent), font_(fieldFont()) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
    setFocusPolicy(Qt::ClickFocus);
    reset();
}

void BrelvoTextView::reset() {
    typing_ = false;
    geometry_.setFrame(kStartFrame);
    geometry_.setPlacement(TextPlacement{});
    setText(QStringLiteral("text"));
}

void BrelvoTextView::setText(const QString& text) {
    text_ = text;
    // Sized to fit; an empty field keeps its height and a caret's width, so
    // that it can still be found and tapped.
    const QFontMetricsF metrics(font_);
    geometry_.setFieldSize(QSizeF(std::ceil(metrics.horizontalAdvance(text_)) + kCaretWidth,
                                  std::ceil(metrics.height())));
    update();
}

void BrelvoTextView::setTextColor(const QColor& colour) {
    colour_ = colour;
    update();
}

void BrelvoTextView::setVisible(bool visible) {
    if (visible)
        reset();
    QWidget::setVisible(visible);
}

void BrelvoTextView::endTyping() {
    typing_ = false;
    update();
}

void BrelvoTextView::paintField(QPainter& painter, bool textOnly) const {
    const QRectF field(QPointF(0, 0), geometry_.frame().size());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setTransform(geometry_.transform(), true);
    QPainterPath rounded;
    rounded.addRoundedRect(field, kCornerRadius, kCornerRadius);
    if (!textOnly)
        painter.fillPath(rounded, kFieldBackground);
    painter.setClipPath(rounded, Qt::IntersectClip);
    if (!text_.isEmpty()) {
        painter.setFont(font_);
        painter.setPen(colour_);
        painter.drawText(field, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text_);
    }
    if (!textOnly) {
        if (typing_) {
            const qreal x = QFontMetricsF(font_).horizontalAdvance(text_);
            painter.fillRect(QRectF(x, field.height() * 0.15, kCaretWidth, field.height() * 0.7), colour_);
        }
        painter.setClipping(false);
        painter.setPen(QPen(kBorderGrey, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(field.adjusted(0.5, 0.5, -0.5, -0.5), kCornerRadius, kCornerRadius);
    }
    painter.restore();
}

QImage BrelvoTextView::render(QSize layerPixels, qreal dpr, QPointF origin) const {
    if (layerPixels.isEmpty())
        return {};
    QImage image(layerPixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    image.setDevicePixelRatio(dpr > 0 && std::isfinite(dpr) ? dpr : 1.0);
    QPainter painter(&image);
    painter.translate(-origin);
    paintField(painter, true);
    return image;
}

void BrelvoTextView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintField(painter, false);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(geometry_.handleCentre(), kTextHandleRadius, kTextHandleRadius);
}

void BrelvoTextView::mousePressEvent(QMouseEvent* event) {
    typing_ = false;
    geometry_.touchBegan(event->position());
    update();
}

void BrelvoTextView::mouseMoveEvent(QMouseEvent* event) {
    geometry_.touchMoved(event->position());
    update();
}

void BrelvoTextView::mouseReleaseEvent(QMouseEvent*) {
    if (geometry_.touchEnded()) {
        typing_ = true;
        setFocus(Qt::MouseFocusReason);
    }
    update();
}

void BrelvoTextView::keyPressEvent(QKeyEvent* event) {
    if (!typing_) {
        QWidget::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        endTyping();
        return;
    case Qt::Key_Backspace:
        setText(withoutLastCharacter(text_));
        return;
    default:
        break;
    }
    QString typed = event->text();
    typed.removeIf([](QChar c) { return c.category() == QChar::Other_Control; });
    if (typed.isEmpty()) {
        QWidget::keyPressEvent(event);
        return;
    }
    setText(text_ + typed);
}

void BrelvoTextView::focusOutEvent(QFocusEvent* event) {
    // Another widget took the keys; a window switch away and back keeps them.
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        endTyping();
    QWidget::focusOutEvent(event);
}

}  // namespace brelvo
