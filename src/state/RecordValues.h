#pragma once

#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

#include "platform/VariantKinds.h"

// Conversions the service records share. Answers come from JSON, so a member
// may hold any kind of value; these helpers decide what a record keeps.
namespace brelvo::records {

// The map a value holds, or an empty map for any other kind.
QVariantMap mapOf(const QVariant& value);

// A text field's value: a string as it stands (the empty string stays a
// string), a number as its decimal text, anything else without value (null QString).
QString textOf(const QVariant& value);

// A string as it stands; anything else the empty string.
QString stringOrEmpty(const QVariant& value);

// True for the integer and floating-point kinds; booleans are not numbers.
using variants::isNumber;

// The integer value of a number (fractions cut off) or of a string that
// starts with an integer ("12abc" → 12; out of range clamps); 0 for anything else.
qint64 integerValue(const QVariant& value);

// The truth of a number (not 0) or of a string starting with Y, y, T, t or a
// non-zero integer; false for anything else.
bool boolValue(const QVariant& value);

// A number in the one form the stored archive gives back: integers as qint64,
// floating point as double, booleans unchanged. Other kinds are returned unchanged.
QVariant normalisedNumber(const QVariant& value);

// A JSON null counts as no value.
QVariant withoutNull(const QVariant& value);

// Inserts a text field unless it is without value.
void insertText(QVariantMap& map, const QString& key, const QString& text);
// Inserts a value unless it is without value.
void insertValue(QVariantMap& map, const QString& key, const QVariant& value);

// A text field for a diagnostic line: "(null)" when without value.
QString describe(const QString& text);
QString describe(const QVariant& value);

// The defaults store value under the key, written and made durable at once.
void storeAndSynchronize(const QVariant& value, const QString& key);
QVariant storedValue(const QString& key);

// Rebuilds one record per stored dictionary, in order; a key holding no array
// gives an empty list, and elements that are not dictionaries are skipped.
template <typename Record>
QList<Record> restoreArray(const QString& key) {
    QList<Record> records;
    const QVariant stored = storedValue(key);
    if (stored.typeId() != QMetaType::QVariantList) return records;
    for (const QVariant& element : stored.toList())
        if (element.typeId() == QMetaType::QVariantMap) records.append(Record(element));
    return records;
}

template <typename Record>
void saveArray(const QList<Record>& records, const QString& key) {
    QVariantList list;
    list.reserve(records.size());
    for (const Record& record : records) list.append(record.dictionary());
    storeAndSynchronize(list, key);
}

}  // namespace brelvo::records
