#pragma once

// Helpers shared by the platform tests.

#include "support/LogCapture.h"

#include <QDateTime>
#include <QStringList>
#include <QVariant>
#include <QtGlobal>

#include <gtest/gtest.h>

#include <functional>

namespace brelvo::test {

// Compares two values of the QVariant family by kind as well as by value, all
// the way down: a number that came back as a double where a qint64 went in, or
// a list that became a map, is a difference even when QVariant's own equality
// would convert its way to "equal".
inline ::testing::AssertionResult sameValue(const QVariant& expected, const QVariant& actual,
                                            const QString& where = QStringLiteral("$")) {
    auto fail = [&](const QString& what) {
        return ::testing::AssertionFailure() << where.toStdString() << ": " << what.toStdString();
    };
    if (expected.isValid() != actual.isValid())
        return fail(QStringLiteral("validity differs (expected %1)").arg(expected.isValid()));
    if (!expected.isValid()) return ::testing::AssertionSuccess();
    if (expected.typeId() != actual.typeId())
        return fail(QStringLiteral("type %1 != %2")
                        .arg(QString::fromLatin1(expected.typeName()), QString::fromLatin1(actual.typeName())));
    switch (expected.typeId()) {
    case QMetaType::QVariantList: {
        const QVariantList a = expected.toList(), b = actual.toList();
        if (a.size() != b.size()) return fail(QStringLiteral("list size %1 != %2").arg(a.size()).arg(b.size()));
        for (qsizetype i = 0; i < a.size(); ++i) {
            auto r = sameValue(a[i], b[i], where + QStringLiteral("[%1]").arg(i));
            if (!r) return r;
        }
        return ::testing::AssertionSuccess();
    }
    case QMetaType::QVariantMap: {
        const QVariantMap a = expected.toMap(), b = actual.toMap();
        if (a.keys() != b.keys())
            return fail(QStringLiteral("keys {%1} != {%2}").arg(a.keys().join(','), b.keys().join(',')));
        for (auto it = a.begin(); it != a.end(); ++it) {
            auto r = sameValue(it.value(), b.value(it.key()), where + QLatin1Char('.') + it.key());
            if (!r) return r;
        }
        return ::testing::AssertionSuccess();
    }
    case QMetaType::QDateTime:
        if (expected.toDateTime().toMSecsSinceEpoch() != actual.toDateTime().toMSecsSinceEpoch())
            return fail(expected.toDateTime().toString(Qt::ISODateWithMs) + QStringLiteral(" != ") +
                        actual.toDateTime().toString(Qt::ISODateWithMs));
        return ::testing::AssertionSuccess();
    case QMetaType::Double:
        if (expected.toDouble() != actual.toDouble())
            return fail(QStringLiteral("%1 != %2").arg(expected.toDouble(), 0, 'g', 17).arg(actual.toDouble(), 0, 'g', 17));
        return ::testing::AssertionSuccess();
    default:
        if (expected != actual) return fail(expected.toString() + QStringLiteral(" != ") + actual.toString());
        return ::testing::AssertionSuccess();
    }
}

}  // namespace brelvo::test
