#include "ui/images/BrelvoImageManager.h"
#include "ui/images/BrelvoImageStorage.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QSet>

#include <gtest/gtest.h>

using brelvo::BrelvoImageManager;
using brelvo::BrelvoImageStorage;

namespace {

bool hasVisiblePixels(const QImage& image) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x)
            if (qAlpha(argb.pixel(x, y)) > 128) return true;
    return false;
}

QByteArray pngBytes(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

}  // namespace

TEST(ImageAtlas, TheEmbeddedAtlasDecodesAtScaleOneAndItsTableHoldsDistinctKeysWithoutOverlap) {
    EXPECT_TRUE(BrelvoImageStorage::imageData().startsWith(QStringLiteral("data:image/png;base64,")));
    const QImage sprite = BrelvoImageStorage::getSprite();
    ASSERT_FALSE(sprite.isNull());
    EXPECT_EQ(sprite.size(), QSize(1170, 255));
    EXPECT_EQ(sprite.devicePixelRatio(), 1.0);
    EXPECT_EQ(BrelvoImageManager::sharedInstance().spriteImage().size(), QSize(1170, 255));

    const auto& table = BrelvoImageManager::atlasTable();
    QSet<QString> keys;
    const QRect atlas(0, 0, 1170, 255);
    for (const auto& entry : table) {
        keys.insert(QString::fromLatin1(entry.key));
        const QRect r(entry.x, entry.y, entry.w, entry.h);
        EXPECT_TRUE(atlas.contains(r)) << entry.key;
        for (const auto& other : table) {
            if (&other == &entry) continue;
            EXPECT_FALSE(r.intersects(QRect(other.x, other.y, other.w, other.h))) << entry.key << " / " << other.key;
        }
    }
    EXPECT_EQ(keys.size(), 27);
}

TEST(ImageAtlas, EveryKeyGivesADrawnIconOfItsSizeFromItsAtlasRectangleAndUnknownKeysNone) {
    const BrelvoImageManager& manager = BrelvoImageManager::sharedInstance();
    for (const auto& entry : BrelvoImageManager::atlasTable()) {
        const QImage icon = manager.getImageForKey(QString::fromLatin1(entry.key));
        ASSERT_FALSE(icon.isNull()) << entry.key;
        // w × h points; at a fractional scale an odd side rounds up to whole pixels.
        const qreal scale = icon.devicePixelRatio();
        EXPECT_EQ(icon.size(), QSize(qCeil(entry.w * scale), qCeil(entry.h * scale))) << entry.key;
        EXPECT_TRUE(hasVisiblePixels(icon)) << entry.key << " is blank: its drawing is not at its rectangle";
    }
    EXPECT_TRUE(manager.getImageForKey(QStringLiteral("no_such_icon")).isNull());
    EXPECT_TRUE(manager.getImageForKey(QString()).isNull());
    EXPECT_TRUE(manager.getImageForKey(QStringLiteral("UNDO")).isNull());
    EXPECT_TRUE(manager.cutImageFromSpriteByRect(QRect()).isNull());
    EXPECT_TRUE(manager.cutImageFromSpriteByRect(QRect(10, 10, -5, 5)).isNull());
    EXPECT_TRUE(manager.cutImageFromSpriteByRect(QRect(0, 0, 1 << 20, 1 << 20)).isNull());

    const QImage undo = manager.getImageForKey(QStringLiteral("undo"));
    const QImage undoActive = manager.getImageForKey(QStringLiteral("undo_act"));
    const qreal scale = undo.devicePixelRatio();  // 1 on the offscreen screen unless QT_SCALE_FACTOR says otherwise
    EXPECT_EQ(undo.size(), QSize(qCeil(25 * scale), qCeil(25 * scale)));
    EXPECT_EQ(undoActive.size(), undo.size());
    EXPECT_NE(pngBytes(undo), pngBytes(undoActive));

    if (scale == 1.0) {
        const QImage sprite = manager.spriteImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        EXPECT_EQ(undo.convertToFormat(QImage::Format_ARGB32_Premultiplied), sprite.copy(790, 225, 25, 25));
    }
    // A rectangle reaching past the atlas is transparent there.
    const QImage corner = manager.cutImageFromSpriteByRect(QRect(1160, 250, 20, 10));
    ASSERT_EQ(corner.size(), QSize(qCeil(20 * scale), qCeil(10 * scale)));
    EXPECT_EQ(qAlpha(corner.pixel(corner.width() - 1, corner.height() - 1)), 0);
}

TEST(Base64Decoding, RoundTripsSkipsWhitespaceRejectsOtherCharactersAndPadsOnlyWhereAGroupCanEnd) {
    QRandomGenerator random(7);
    for (int length = 0; length < 64; ++length) {
        QByteArray bytes(length, Qt::Uninitialized);
        for (char& b : bytes) b = static_cast<char>(random.bounded(256));
        const QString text = QString::fromLatin1(bytes.toBase64());
        EXPECT_EQ(BrelvoImageStorage::decodeBase64WithString(text), bytes) << length;
        // Without padding the length still comes out exact.
        EXPECT_EQ(BrelvoImageStorage::decodeBase64WithString(QString(text).remove(QLatin1Char('='))), bytes) << length;
        // Line breaks and the other blanks anywhere are skipped.
        QString spread;
        for (int i = 0; i < text.size(); ++i) spread += text[i] + QString(QStringLiteral(" \t\n\f\r")[i % 5]);
        EXPECT_EQ(BrelvoImageStorage::decodeBase64WithString(spread), bytes) << length;
    }
    EXPECT_EQ(BrelvoImageStorage::decodeBase64WithString(QStringLiteral("TWFu\r\nTWE=\n")), QByteArray("ManMa"));

    for (const QString& bad : {QStringLiteral("TW-u"), QStringLiteral("TW_u"), QStringLiteral("TW.u"),
                               QStringLiteral("TW\vu"), QStringLiteral("TWFu\u00e9"), QStringLiteral("TWF\u4e2d")}) {
        EXPECT_FALSE(BrelvoImageStorage::decodeBase64WithString(bad).has_value()) << qPrintable(bad);
    }
    // A NUL ends the text: what follows it is not read at all.
    EXPECT_EQ(BrelvoImageStorage::decodeBase64WithString(QStringLiteral("TWFu") + QChar(0) + QStringLiteral("!!!!")),
              QByteArray("Man"));

    struct Case {
        const char* text;
        std::optional<QByteArray> expected;
    };
    const Case cases[] = {
        {"TWE=", QByteArray("Ma")},
        {"TQ==", QByteArray("M")},
        {"TQ=", QByteArray("M")},          // short padding is tolerated
        {"TQ= =", QByteArray("M")},        // blanks between padding
        {"T===", std::nullopt},            // a group of one character cannot end
        {"T", std::nullopt},
        {"TWFu=", std::nullopt},           // padding after a whole group
        {"=", std::nullopt},
        {"TQ===", std::nullopt},           // more padding than the group has room for
        {"TQ==TWFu", std::nullopt},        // data after the padding
        {"", QByteArray("")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BrelvoImageStorage::decodeBase64WithString(QString::fromLatin1(c.text)), c.expected) << c.text;
}

TEST(DataUrlImages, NeedExactlyOneCommaAndAnImageAfterIt) {
    QImage red(3, 2, QImage::Format_ARGB32);
    red.fill(Qt::red);
    const QString base64 = QString::fromLatin1(pngBytes(red).toBase64());
    const QImage decoded = BrelvoImageStorage::imageFromBase64String(QStringLiteral("data:image/png;base64,") + base64);
    ASSERT_FALSE(decoded.isNull());
    EXPECT_EQ(decoded.size(), QSize(3, 2));

    EXPECT_TRUE(BrelvoImageStorage::imageFromBase64String(QStringLiteral("data:image/png;base64,")).isNull());  // 22
    EXPECT_TRUE(BrelvoImageStorage::imageFromBase64String(QStringLiteral(",") + base64.left(20)).isNull());
    EXPECT_TRUE(BrelvoImageStorage::imageFromBase64String(base64).isNull());  // no comma
    EXPECT_TRUE(BrelvoImageStorage::imageFromBase64String(QStringLiteral("data:a,b,") + base64).isNull());
    EXPECT_TRUE(BrelvoImageStorage::imageFromBase64String(QStringLiteral("data:image/png;base64,") + base64 + QStringLiteral(","))
                    .isNull());
    EXPECT_TRUE(BrelvoImageStorage::imageFromBase64String(QStringLiteral("data:image/png;base64,aGVsbG8gd29ybGQ=")).isNull());
    EXPECT_TRUE(BrelvoImageStorage::imageFromBase64String(QStringLiteral("data:image/png;base64,%%%%%%%%")).isNull());
}
