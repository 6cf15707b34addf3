#include "platform/Json.h"

#include "platform/PlatformTestUtil.h"

#include <gtest/gtest.h>

#include <limits>

using brelvo::test::sameValue;
namespace json = brelvo::json;

namespace {

// Whole numbers stay exact qint64s; fractions and numbers past 64 bits are
// doubles; nesting and Unicode survive.
TEST(Json, ValuesKeepTheirKindNullIsAValueAndBadTextIsNone) {
    const std::pair<QByteArray, QVariant> cases[] = {
        {R"({"small": 7, "negative": -12, "beyond": 9007199254740993,
             "max": 9223372036854775807, "min": -9223372036854775808, "list": [0, 1]})",
         QVariantMap{{"small", qint64(7)},
                     {"negative", qint64(-12)},
                     {"beyond", qint64(9007199254740993LL)},
                     {"max", std::numeric_limits<qint64>::max()},
                     {"min", std::numeric_limits<qint64>::min()},
                     {"list", QVariantList{qint64(0), qint64(1)}}}},
        {R"([1.5, -0.25, 1e-3, 6.02e23, 18446744073709551616])",
         QVariantList{1.5, -0.25, 0.001, 6.02e23, 18446744073709551616.0}},
        {R"({"payload": {"user": {"name": "Zoë \u2713 🔑"}, "types": [{"id": 3}]}})",
         QVariantMap{{"payload", QVariantMap{{"user", QVariantMap{{"name", QStringLiteral("Zoë ✓ 🔑")}}},
                                             {"types", QVariantList{QVariantMap{{"id", qint64(3)}}}}}}}},
    };
    for (const auto& [text, expected] : cases) EXPECT_TRUE(sameValue(expected, json::parse(text))) << text.constData();

    // Null is a value, distinct from none.
    const QVariantMap map = json::parse(R"({"gone": null, "list": [null], "s": "", "b": false})").toMap();
    ASSERT_TRUE(map.contains("gone"));
    const QVariant gone = map.value("gone");
    EXPECT_TRUE(gone.isValid());
    EXPECT_TRUE(json::isNull(gone));
    EXPECT_TRUE(json::isNull(map.value("list").toList().value(0)));

    EXPECT_FALSE(map.value("missing").isValid());
    EXPECT_FALSE(json::isNull(map.value("missing")));
    EXPECT_FALSE(json::isNull(map.value("s")));
    EXPECT_FALSE(json::isNull(map.value("b")));
    EXPECT_EQ(map.value("s").typeId(), QMetaType::QString);
    EXPECT_EQ(map.value("b").typeId(), QMetaType::Bool);

    for (const char* text : {"", " ", "{", "[1,]", "{\"a\":}", "{\"a\" 1}", "nul", "{} trailing", "<html></html>",
                             "{\"a\": 1}}"}) {
        EXPECT_FALSE(json::parse(text).isValid()) << text;
    }
}

}  // namespace
