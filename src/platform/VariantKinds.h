#pragma once

#include <QVariant>
#include <QVariantList>

// Questions about the kind of value a QVariant holds, for values that come
// from JSON, property lists or the store and may hold anything.
namespace brelvo::variants {

// True for the integer and floating-point kinds (Int, UInt, Long, ULong,
// LongLong, ULongLong, Double, Float). Booleans are not numbers: JSON and
// property lists tell them apart.
bool isNumber(const QVariant& value);

// The list a value holds; anything else (a text would otherwise convert to a
// one-item list) gives an empty list.
QVariantList listOf(const QVariant& value);

}  // namespace brelvo::variants
