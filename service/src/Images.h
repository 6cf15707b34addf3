#pragma once

#include <QByteArray>
#include <QString>

namespace brelvo::service {

// A small PNG icon for a name: a rounded square in a colour derived from the
// name, with a lighter disc in the middle. Same name, same bytes. Stands in
// for the icons and tester pictures the seed points at (/static/<name>.png).
QByteArray iconPng(const QString& name, int size = 64);

}  // namespace brelvo::service
