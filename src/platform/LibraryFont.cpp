#include "platform/LibraryFont.h"

#include <QWidget>

namespace brelvo::libraryfont {

QStringList families() {
    return {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"), QStringLiteral("Helvetica"),
            QStringLiteral("Arial")};
}

QFont font(int pixelSize, bool bold) {
    QFont f;
    f.setFamilies(families());
    f.setStyleHint(QFont::SansSerif);
    if (pixelSize > 0) f.setPixelSize(pixelSize);
    f.setBold(bold);
    return f;
}

void adopt(QWidget* top) {
    if (!top) return;
    QFont f = top->font();
    f.setFamilies(families());
    f.setStyleHint(QFont::SansSerif);
    top->setFont(f);
    // The font alone is not enough: a widget polished before it joined the
    // library's views (made without a parent, then added) keeps the family
    // it had, and a host's application-wide style sheet may name a family
    // for every button or label. A rule on the top widget reaches every
    // descendant whenever it joins, and outranks the host's sheet.
    QStringList quoted;
    for (const QString& family : families()) quoted.append(QLatin1Char('"') + family + QLatin1Char('"'));
    const QString rule = QStringLiteral("* { font-family: %1; }").arg(quoted.join(QStringLiteral(", ")));
    if (!top->styleSheet().contains(rule)) top->setStyleSheet(top->styleSheet() + QLatin1Char('\n') + rule);
}

}  // namespace brelvo::libraryfont
