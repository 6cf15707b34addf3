#pragma once

#include <QByteArray>
#include <QVariant>

namespace brelvo::json {

// Parses JSON text into the QVariant family: objects become QVariantMap, arrays
// QVariantList, whole numbers qint64 (double when they do not fit), null a valid
// QVariant holding nullptr. Text that does not parse gives an invalid QVariant.
QVariant parse(const QByteArray& utf8);

// True for a JSON null (a valid value that is not "none").
bool isNull(const QVariant& value);

}  // namespace brelvo::json
