#include "state/RecordValues.h"

#include "platform/Defaults.h"

#include <limits>

namespace brelvo::records {

QVariantMap mapOf(const QVariant& value) {
    return value.typeId() == QMetaType::QVariantMap ? value.toMap() : QVariantMap();
}

QString stringOrEmpty(const QVariant& value) {
    if (value.typeId() != QMetaType::QString) return QStringLiteral("");
    const QString text = value.toString();
    // A JSON "" may arrive as a null QString; it is still a string.
    return text.isNull() ? QStringLiteral("") : text;
}

QString textOf(const QVariant& value) {
    if (value.typeId() == QMetaType::QString) return stringOrEmpty(value);
    if (isNumber(value)) return value.toString();
    return {};
}

namespace {

qint64 integerFromText(const QString& text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text.at(i).isSpace()) ++i;
    bool negative = false;
    if (i < n && (text.at(i) == u'-' || text.at(i) == u'+')) negative = text.at(i++) == u'-';
    // Accumulate as a negative number so that the minimum fits.
    qint64 result = 0;
    constexpr qint64 min = std::numeric_limits<qint64>::min();
    for (; i < n && text.at(i) >= u'0' && text.at(i) <= u'9'; ++i) {
        const int digit = text.at(i).unicode() - u'0';
        if (result < (min + digit) / 10) {
            result = min;
            while (i < n && text.at(i) >= u'0' && text.at(i) <= u'9') ++i;
            break;
        }
        result = result * 10 - digit;
    }
    if (negative) return result;
    return result == min ? std::numeric_limits<qint64>::max() : -result;
}

}  // namespace

qint64 integerValue(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? 1 : 0;
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        // Reinterpreted as signed, as a 64-bit integer conversion does.
        return static_cast<qint64>(value.toULongLong());
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
        return value.toLongLong();
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = value.toDouble();
        if (d != d) return 0;
        if (d >= 9.2233720368547758e18) return std::numeric_limits<qint64>::max();
        if (d <= -9.2233720368547758e18) return std::numeric_limits<qint64>::min();
        return static_cast<qint64>(d);
    }
    case QMetaType::QString:
        return integerFromText(value.toString());
    default:
        return 0;
    }
}

bool boolValue(const QVariant& value) {
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString().trimmed();
        if (text.isEmpty()) return false;
        const QChar first = text.at(0);
        if (first == u'Y' || first == u'y' || first == u'T' || first == u't') return true;
        return integerFromText(text) != 0;
    }
    if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float) return value.toDouble() != 0.0;
    return (value.typeId() == QMetaType::Bool || isNumber(value)) && integerValue(value) != 0;
}

QVariant normalisedNumber(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
        return QVariant::fromValue<qint64>(value.toLongLong());
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        if (value.toULongLong() <= static_cast<quint64>(std::numeric_limits<qint64>::max()))
            return QVariant::fromValue<qint64>(static_cast<qint64>(value.toULongLong()));
        return value;
    case QMetaType::Float:
        return QVariant::fromValue<double>(value.toDouble());
    default:
        return value;
    }
}

QVariant withoutNull(const QVariant& value) {
    return value.typeId() == QMetaType::Nullptr ? QVariant() : value;
}

void insertText(QVariantMap& map, const QString& key, const QString& text) {
    if (!text.isNull()) map.insert(key, text);
}

void insertValue(QVariantMap& map, const QString& key, const QVariant& value) {
    if (value.isValid() && value.typeId() != QMetaType::Nullptr) map.insert(key, value);
}

QString describe(const QString& text) {
    return text.isNull() ? QStringLiteral("(null)") : text;
}

QString describe(const QVariant& value) {
    if (!value.isValid() || value.typeId() == QMetaType::Nullptr) return QStringLiteral("(null)");
    return value.toString();
}

void storeAndSynchronize(const QVariant& value, const QString& key) {
    Defaults& store = Defaults::standard();
    store.setObject(value, key);
    store.synchronize();
}

QVariant storedValue(const QString& key) {
    return Defaults::standard().object(key);
}

}  // namespace brelvo::records
