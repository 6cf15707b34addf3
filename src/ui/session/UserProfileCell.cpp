#include "ui/session/UserProfileCell.h"

#include "platform/LibraryFont.h"
#include "platform/Screen.h"
#include "ui/common/Card.h"

#include <QFontMetrics>
#include <QPainter>

namespace brelvo {
namespace {

const QColor kTitleGrey(142, 142, 147);
const QColor kValueBlue = QColor::fromRgbF(0.137f, 0.585f, 0.765f);

}  // namespace

ProfileLabel::ProfileLabel(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    font_ = libraryfont::font();
}

void ProfileLabel::setText(const QString& text) {
    if (text == text_) return;
    text_ = text;
    update();
}

void ProfileLabel::setTextFont(const QFont& font) {
    font_ = font;
    update();
}

void ProfileLabel::setTextColor(const QColor& color) {
    color_ = color;
    update();
}

void ProfileLabel::paintEvent(QPaintEvent*) {
    if (text_.isEmpty()) return;
    QPainter p(this);
    p.setFont(font_);
    p.setPen(color_);
    // Service values are one line: line breaks in them must not stack text
    // over the neighbouring label.
    QString line = text_;
    line.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    const QString shown = QFontMetrics(font_).elidedText(line, Qt::ElideRight, width());
    p.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
}

UserProfileCell::UserProfileCell(QWidget* parent) : QWidget(parent) {
    const bool tablet = screen::isTablet();
    titleLbl_ = new ProfileLabel(this);
    titleLbl_->setTextFont(libraryfont::font(tablet ? 15 : 9, true));
    titleLbl_->setTextColor(kTitleGrey);
    valueLbl_ = new ProfileLabel(this);
    valueLbl_->setTextFont(libraryfont::font(tablet ? 17 : 12, true));
    valueLbl_->setTextColor(kValueBlue);
}

void UserProfileCell::setupWithTitle(const QString& title, const QString& value) {
    titleLbl_->setText(title);
    valueLbl_->setText(value);
}

QRect UserProfileCell::backgroundFrame() const {
    return QRect(kInset, 0, qMax(0, width() - 2 * kInset), height());
}

void UserProfileCell::resizeEvent(QResizeEvent*) {
    const bool tablet = screen::isTablet();
    const QRect band = backgroundFrame();
    const int padding = tablet ? 24 : 15;
    const int titleHeight = QFontMetrics(titleLbl_->textFont()).height();
    const int valueHeight = QFontMetrics(valueLbl_->textFont()).height();
    const int gap = tablet ? 6 : 2;
    const int top = (height() - titleHeight - gap - valueHeight) / 2;
    const int textWidth = qMax(0, band.width() - 2 * padding);
    titleLbl_->setGeometry(band.left() + padding, top, textWidth, titleHeight);
    valueLbl_->setGeometry(band.left() + padding, top + titleHeight + gap, textWidth, valueHeight);
}

void UserProfileCell::paintEvent(QPaintEvent*) {
    QPainter p(this);
    card::paint(p, QRectF(backgroundFrame()));
}

}  // namespace brelvo
