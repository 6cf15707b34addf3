#include "platform/PropertyList.h"

#include "platform/PlatformTestUtil.h"

#include <QDateTime>
#include <QPoint>
#include <QTimeZone>

#include <gtest/gtest.h>
#include <plist/plist.h>

#include <limits>

using brelvo::test::sameValue;
namespace plist = brelvo::plist;

namespace {

QDateTime utc(int y, int mo, int d, int h, int mi, int s, int ms) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), QTimeZone::utc());
}

// A value with every kind in it, nested, in the form it reads back in
// (integers as qint64). The XML form keeps dates to the second only.
QVariant everyKind(bool wholeSecondDates = false) {
    const int ms = wholeSecondDates ? 0 : 789;
    const QVariantMap inner{{"flag", false}, {"empty list", QVariantList()}, {"empty map", QVariantMap()},
                            {"empty string", QString("")}, {"empty data", QByteArray()}};
    return QVariantMap{
        {"string", QStringLiteral("hello <&> \"world\"")}, {QStringLiteral("ключ 🔑"), QStringLiteral("значение ✓")},
        {"zero", qint64(0)}, {"negative", qint64(-42)}, {"min", std::numeric_limits<qint64>::min()},
        {"max", std::numeric_limits<qint64>::max()}, {"beyond 2^53", qint64(9007199254740993LL)},
        {"double", 3.25}, {"negative double", -1e-300}, {"whole double", 2.0}, {"true", true},
        {"data", QByteArray("\x00\x01\xff\x7f bytes", 10)},
        {"date", utc(2024, 2, 29, 23, 59, 58, ms)},
        {"date before 2001", utc(1990, 5, 6, 12, 34, 56, ms)},
        {"date just before 2001", utc(2000, 12, 31, 23, 59, 58, ms)},
        {"date of 1970", utc(1970, 1, 1, 0, 0, 0, wholeSecondDates ? 0 : 1)},
        {"list", QVariantList{qint64(1), QStringLiteral("two"), 3.5, QVariantList{QVariantMap{{"deep", true}}}}},
        {"inner", inner}};
}

TEST(PropertyList, BinaryAndXmlRoundTripsKeepEveryKindAndValue) {
    const QVariant value = everyKind();
    const QByteArray binary = plist::toBinary(value);
    ASSERT_TRUE(binary.startsWith("bplist00"));
    EXPECT_TRUE(sameValue(value, plist::fromData(binary)));

    const QVariant wholeSeconds = everyKind(true);
    const QByteArray xml = plist::toXml(wholeSeconds);
    ASSERT_TRUE(xml.startsWith("<?xml")) << xml.left(100).toStdString();
    EXPECT_TRUE(sameValue(wholeSeconds, plist::fromData(xml)));

    EXPECT_EQ(plist::toXml(QVariantList()).toStdString(),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
              "<plist version=\"1.0\">\n<array/>\n</plist>\n");
}

// A value of bytes alone is written without libplist; the bytes must be
// those libplist writes, at every width of the length.
TEST(PropertyList, BytesAloneAreWrittenAsLibplistWritesThem) {
    for (const qsizetype size : {0, 14, 15, 255, 256, 65535, 65536, 70001}) {
        QByteArray data(size, Qt::Uninitialized);
        for (qsizetype i = 0; i < size; ++i) data[i] = static_cast<char>(i * 7 + size);
        plist_t node = plist_new_data(data.constData(), static_cast<uint64_t>(size));
        char* out = nullptr;
        uint32_t length = 0;
        plist_to_bin(node, &out, &length);
        const QByteArray expected(out, length);
        plist_to_bin_free(out);
        plist_free(node);
        const QByteArray ours = plist::toBinary(data);
        EXPECT_EQ(ours, expected) << size;
        EXPECT_EQ(plist::fromData(ours).toByteArray(), data) << size;
    }
}

TEST(PropertyList, DatesAtTheEndsOfTheBinaryRangeKeepTheirSide) {
    // The binary form counts whole seconds from 2001 in 32 bits.
    const QDateTime reference = utc(2001, 1, 1, 0, 0, 0, 0);
    const QDateTime lowest = reference.addSecs(std::numeric_limits<int32_t>::min());
    const QDateTime justBelow = lowest.addMSecs(-250);  // still read from a damaged file
    EXPECT_EQ(plist::fromData(plist::toBinary(justBelow)).toDateTime(), justBelow);
    const QDateTime wholeSecondBelow = lowest.addSecs(-1);
    EXPECT_EQ(plist::fromData(plist::toBinary(wholeSecondBelow)).toDateTime(), wholeSecondBelow);
    const QDateTime highest = reference.addSecs(std::numeric_limits<int32_t>::max());
    EXPECT_EQ(plist::fromData(plist::toBinary(utc(2200, 1, 1, 0, 0, 0, 0))).toDateTime(), highest);
    EXPECT_EQ(plist::fromData(plist::toBinary(utc(1800, 1, 1, 0, 0, 0, 0))).toDateTime(), lowest);
}

TEST(PropertyList, OtherKindsReadBackInTheirFormAndValuesWithoutOneAreRecognised) {
    const QVariantList in{QVariant(int(-7)), QVariant(uint(7)), QVariant(qulonglong(1) << 40)};
    const QVariantList expected{qint64(-7), qint64(7), qint64(1) << 40};
    EXPECT_TRUE(sameValue(expected, plist::fromData(plist::toBinary(in))));
    EXPECT_TRUE(sameValue(expected, plist::fromData(plist::toXml(in))));

    const QVariantMap nulls{{"a", QVariant::fromValue(nullptr)}, {"b", QVariantList{QVariant::fromValue(nullptr), 1}}};
    EXPECT_TRUE(plist::isPropertyList(nulls));
    EXPECT_TRUE(sameValue(QVariantMap{{"b", QVariantList{qint64(1)}}}, plist::fromData(plist::toBinary(nulls))));

    EXPECT_FALSE(plist::isPropertyList(QVariant()));
    EXPECT_FALSE(plist::isPropertyList(QVariant::fromValue(nullptr)));
    EXPECT_FALSE(plist::isPropertyList(QVariant(QPoint(1, 2))));
    EXPECT_FALSE(plist::isPropertyList(QVariantList{1, QVariant(QPoint(1, 2))}));
    EXPECT_FALSE(plist::isPropertyList(QVariantMap{{"x", QVariantList{QVariant(QPoint(1, 2))}}}));
    EXPECT_TRUE(plist::toBinary(QVariant(QPoint(1, 2))).isEmpty());
    EXPECT_TRUE(plist::toXml(QVariant()).isEmpty());
}

TEST(PropertyList, GarbageAndTruncatedInputReadAsNone) {
    EXPECT_FALSE(plist::fromData(QByteArray()).isValid());
    EXPECT_FALSE(plist::fromData("not a property list at all").isValid());
    EXPECT_FALSE(plist::fromData(QByteArray("bplist00") + QByteArray(64, '\xee')).isValid());
    EXPECT_FALSE(plist::fromData("<?xml version=\"1.0\"?><plist><dict><key>a</key>").isValid());

    const QByteArray whole = plist::toBinary(everyKind());
    ASSERT_TRUE(plist::fromData(whole).isValid());
    // Every cut loses the trailer that locates the objects.
    for (qsizetype cut = 1; cut < whole.size(); ++cut)
        EXPECT_FALSE(plist::fromData(whole.left(cut)).isValid()) << "cut at " << cut;
}

// A binary property list of the given objects (each already encoded), with
// one-byte offsets and references, object 0 at the top.
QByteArray binaryOf(const QList<QByteArray>& objects) {
    QByteArray bytes("bplist00");
    QByteArray offsets;
    for (const QByteArray& object : objects) {
        offsets += static_cast<char>(bytes.size());
        bytes += object;
    }
    const auto tableAt = static_cast<char>(bytes.size());
    bytes += offsets;
    QByteArray trailer(32, '\0');
    trailer[6] = 1;                                   // offset size
    trailer[7] = 1;                                   // reference size
    trailer[15] = static_cast<char>(objects.size());  // object count
    trailer[31] = tableAt;                            // offset table offset
    return bytes + trailer;
}

TEST(PropertyList, DamagedBinaryIsRefusedNeverAborts) {
    // Its offset table names an object past the table and its key is UTF-16
    // "a", U+0000, on which libplist asserts.
    const QByteArray nulKeyBehindBadOffset = QByteArray::fromBase64(
        "YnBsaXN0MDDRAgNiAGEAABABCPALEAAAAAAAAAEBAAAAAAAAAAQAAAAAAAAAAAAAAAAAAAAS");
    EXPECT_FALSE(plist::fromData(nulKeyBehindBadOffset).isValid());

    // Each array names the next one twice: 2^40 elements for libplist to build.
    QList<QByteArray> shared;
    for (char next = 1; next < 40; ++next) shared.append(QByteArray("\xa2") + next + next);
    shared.append(QByteArray("\x10\x01", 2));
    EXPECT_FALSE(plist::fromData(binaryOf(shared)).isValid());

    const QByteArray everything = plist::toBinary(everyKind());
    for (qsizetype i = 8; i < everything.size(); ++i) {
        QByteArray bytes = everything;
        bytes[i] = static_cast<char>(bytes[i] ^ 0xa5);
        (void)plist::fromData(bytes);
    }
    // Every value of every byte of a small file, and every cut of it: offsets,
    // counts, references and key strings all go wrong somewhere. A wrong
    // answer is fine; an abort or a sanitizer report is not.
    const QVariantMap small{{QStringLiteral("ключ"), QVariantList{QString::fromUtf16(u"a\0b", 3), 2.5, QByteArray("xy")}},
                            {QStringLiteral("k"), QVariantMap{{QStringLiteral("n"), qint64(-1)}}}};
    const QByteArray whole = plist::toBinary(small);
    ASSERT_TRUE(sameValue(small, plist::fromData(whole)));
    for (qsizetype i = 0; i < whole.size(); ++i) {
        QByteArray bytes = whole;
        for (int value = 0; value < 256; ++value) {
            bytes[i] = static_cast<char>(value);
            (void)plist::fromData(bytes);
        }
        (void)plist::fromData(whole.left(i));
    }
}

TEST(PropertyList, StringsHoldingNulKeepItInBinaryAndAreLeftOutOfXml) {
    // Strings go to libplist as C strings; the binary form must still keep
    // all of one holding U+0000, ASCII or not, also beside a string that uses
    // the first stand-in character for U+0000.
    const QVariantMap value{{QStringLiteral("ascii"), QString::fromUtf16(u"ab\0cd", 5)},
                            {QStringLiteral("wide"), QString::fromUtf16(u"\u00e9\0\0x", 4)},
                            {QStringLiteral("stand-in"), QString::fromUtf16(u"\ufdd0")},
                            {QStringLiteral("list"), QVariantList{QString::fromUtf16(u"\0", 1), QString::fromUtf16(u"\ufdd0\0", 2)}}};
    EXPECT_TRUE(sameValue(value, plist::fromData(plist::toBinary(value))));

    // XML has no form for U+0000; nor has a key holding it (libplist aborts on reading one).
    const QVariantMap xml = plist::fromData(plist::toXml(value)).toMap();
    EXPECT_EQ(xml.keys(), QStringList({"list", "stand-in"}));
    EXPECT_TRUE(xml.value("list").toList().isEmpty());
    const QVariantMap keys{{QString::fromUtf16(u"a\0b", 3), 1}, {QStringLiteral("b"), 2}};
    EXPECT_TRUE(sameValue(QVariantMap{{"b", qint64(2)}}, plist::fromData(plist::toBinary(keys))));

    // Read from files: a UTF-16 string keeps U+0000; a key holding it, or a
    // one-byte string holding a NUL (libplist would cut it), is damage.
    const QByteArray nulString("\x63\0a\0\0\0b", 7);  // UTF-16 "a", U+0000, "b"
    EXPECT_TRUE(sameValue(QVariantList{QString::fromUtf16(u"a\0b", 3)},
                          plist::fromData(binaryOf({QByteArray("\xa1\x01", 2), nulString}))));
    EXPECT_FALSE(
        plist::fromData(binaryOf({QByteArray("\xd1\x01\x02", 3), nulString, QByteArray("\x10\x01", 2)})).isValid());
    EXPECT_FALSE(plist::fromData(binaryOf({QByteArray("\xa1\x01", 2), QByteArray("\x53" "a\0b", 4)})).isValid());

    for (const char* text : {"<plist><array><string>a&#0;b</string></array></plist>",
                             "<plist><dict><key>a&#0;b</key><integer>1</integer></dict></plist>",
                             "<plist><dict><key>a&#x0;b</key><string>a&#x0;b</string></dict></plist>"})
        (void)plist::fromData(text);
}

// Input that is no damage, only too much: none of it may crash the reader.
TEST(PropertyList, SelfContainingAndDeeplyNestedInputDoesNotCrash) {
    // Object 0 is a one-element array whose element is object 0.
    (void)plist::fromData(binaryOf({QByteArray("\xa1\x00", 2)}));

    const int depth = 20000;
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n";
    xml += QByteArray("<array>").repeated(depth) + "<string>bottom</string>" + QByteArray("</array>").repeated(depth);
    xml += "\n</plist>\n";
    const QVariant value = plist::fromData(xml);
    // Whatever is kept is a list at the top; the bottom lies too deep to keep.
    if (value.isValid()) {
        EXPECT_EQ(value.typeId(), QMetaType::QVariantList);
    }

    QVariant nested = QStringLiteral("bottom");
    for (int i = 0; i < 2000; ++i) nested = QVariantList{nested};
    (void)plist::fromData(plist::toBinary(nested));
}

}  // namespace
