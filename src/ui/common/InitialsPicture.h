#pragma once

#include <QColor>
#include <QImage>
#include <QString>

namespace brelvo {

// The tester's picture until a real one arrives: the initials of the name in
// white on a calm colour that the name always gives the same.
namespace initials {

// Up to two letters: the first of the first and of the last word ("Dana Ruiz"
// gives "DR", "ana" gives "A"); none for a name without letters.
QString of(const QString& name);

// A muted colour picked by the name, dark enough for white initials.
QColor colourFor(const QString& name);

// A square picture of the given side in pixels: the colour, and the initials
// centred in white. The view that shows it cuts it to a disc.
QImage picture(const QString& name, int side);

}  // namespace initials
}  // namespace brelvo
