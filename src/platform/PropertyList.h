#pragma once

#include <QByteArray>
#include <QVariant>

namespace brelvo::plist {

// Conversions between the QVariant family and property lists (libplist).
//
// Property-list values are QString, bool, integers (read back as qint64), double, QByteArray (data),
// QDateTime (date), QVariantList and QVariantMap. A JSON null inside a container
// is left out silently (readers treat it as absent). Anything else has no
// property-list form: such an element of a container is left out with a log
// line, and such a top-level value gives an empty result.
//
// A string holding U+0000 keeps it in the binary form; the XML form cannot
// hold it, so there such a string counts as having no form. A dictionary key
// holding U+0000 is left out of either form with a log line. The XML form
// keeps dates to the whole second (the binary one to the millisecond).

// True when the value and everything inside it has a property-list form
// (nulls inside containers allowed).
bool isPropertyList(const QVariant& value);

QByteArray toXml(const QVariant& value);
QByteArray toBinary(const QVariant& value);

// Either form (binary or XML, told apart by the "bplist00" magic). Bytes that
// are not a property list, or a damaged one, give an invalid QVariant.
QVariant fromData(const QByteArray& bytes);

}  // namespace brelvo::plist
