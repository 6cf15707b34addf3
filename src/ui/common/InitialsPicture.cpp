#include "ui/common/InitialsPicture.h"

#include "platform/LibraryFont.h"

#include <QPainter>

#include <iterator>

namespace brelvo::initials {
namespace {

// Muted tones, each dark enough for white text at 4.5:1 or better.
const QColor kTones[] = {QColor(52, 101, 138), QColor(46, 117, 98), QColor(108, 86, 140), QColor(140, 84, 64),
                         QColor(84, 104, 120), QColor(120, 96, 44),  QColor(56, 112, 118), QColor(126, 74, 104)};

QChar firstLetter(const QString& word) {
    for (const QChar c : word)
        if (c.isLetterOrNumber()) return c.toUpper();
    return {};
}

}  // namespace

QString of(const QString& name) {
    const QStringList words = name.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QString letters;
    if (words.isEmpty()) return letters;
    if (const QChar first = firstLetter(words.first()); !first.isNull()) letters += first;
    if (words.size() > 1)
        if (const QChar last = firstLetter(words.last()); !last.isNull()) letters += last;
    return letters;
}

QColor colourFor(const QString& name) {
    // A small stable hash (qHash is seeded per process).
    quint32 h = 2166136261u;
    for (const QChar c : name.simplified().toLower()) h = (h ^ c.unicode()) * 16777619u;
    return kTones[h % std::size(kTones)];
}

QImage picture(const QString& name, int side) {
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(colourFor(name));
    const QString letters = of(name);
    if (letters.isEmpty() || side <= 0) return image;
    QPainter p(&image);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setFont(libraryfont::font(qMax(1, side * 2 / 5), true));
    p.setPen(Qt::white);
    p.drawText(image.rect(), Qt::AlignCenter, letters);
    return image;
}

}  // namespace brelvo::initials
