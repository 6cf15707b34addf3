#include "state/RequirementOrder.h"

#include <gtest/gtest.h>

#include <QVariantMap>

using namespace brelvo;

namespace {

QVariantMap row(const QString& code, const QVariant& priority) {
    QVariantMap r{{"code", code}};
    if (priority.isValid()) r.insert("priority", priority);
    return r;
}

QStringList codes(const QVariantList& rows) {
    QStringList list;
    for (const QVariant& r : rows) list << r.toMap().value("code").toString();
    return list;
}

TEST(RequirementOrder, HighestPriorityFirstStableAndRowsWithoutOneLast) {
    const struct {
        QVariantList rows;
        QStringList expected;
    } cases[] = {
        {{row("a", 2), row("b", 5), row("c", 1)}, {"b", "a", "c"}},
        // Equal priorities keep their order; numeric texts and fractions count as numbers.
        {{row("a", 1), row("b", "3"), row("c", 1), row("d", 2.5), row("e", 3)}, {"b", "e", "d", "a", "c"}},
        // No usable priority (missing, null, a word, a list) and rows that are no
        // dictionaries at all: after every numbered row, in their order.
        {{row("a", QVariant()), row("b", QVariant::fromValue(nullptr)), QVariant(7), row("c", "high"),
          row("d", QVariantList{1}), row("e", 0)},
         {"e", "a", "b", "", "c", "d"}},
        {{}, {}},
    };
    for (const auto& c : cases) {
        QVariantList rows = c.rows;
        sortByPriority(rows);
        EXPECT_EQ(codes(rows), c.expected);
    }
}

}  // namespace
