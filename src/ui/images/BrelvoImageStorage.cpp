#include "ui/images/BrelvoImageStorage.h"

#include "platform/Log.h"
#include "ui/images/BrelvoImageStorageData.h"

#include <QBuffer>
#include <QList>
#include <QPainter>

#include <array>
#include <cstring>

namespace brelvo {
namespace {

constexpr signed char kSkip = -1;
constexpr signed char kInvalid = -2;
constexpr signed char kPad = -3;

// Decoding table of the 128 ASCII codes: the 6-bit value, or one of the marks above.
constexpr std::array<signed char, 128> makeTable() {
    std::array<signed char, 128> table{};
    for (auto& entry : table) entry = kInvalid;
    for (int i = 0; i < 26; ++i) {
        table['A' + i] = static_cast<signed char>(i);
        table['a' + i] = static_cast<signed char>(26 + i);
    }
    for (int i = 0; i < 10; ++i) table['0' + i] = static_cast<signed char>(52 + i);
    table['+'] = 62;
    table['/'] = 63;
    table['='] = kPad;
    for (char c : {'\t', '\n', '\f', '\r', ' '}) table[static_cast<unsigned char>(c)] = kSkip;
    return table;
}
constexpr std::array<signed char, 128> kTable = makeTable();

}  // namespace

QImage BrelvoImageStorage::getSprite() {
    return spriteAtScale(1);
}

QImage BrelvoImageStorage::iconAtScale(int slot, int scale) {
    if (slot < 0 || slot >= static_cast<int>(kAtlasSlots.size()) || scale < 1 || scale > atlasdata::kScaleCount)
        return QImage();
    const atlasdata::EmbeddedIcon& packed = atlasdata::kIcons[scale - 1][slot];
    const QByteArray pixels = qUncompress(packed.bytes, static_cast<qsizetype>(packed.size));
    if (pixels.size() != qsizetype(packed.width) * packed.height * 4) return QImage();
    QImage icon(packed.width, packed.height, QImage::Format_RGBA8888_Premultiplied);
    if (icon.isNull()) return QImage();
    for (int y = 0; y < packed.height; ++y)
        std::memcpy(icon.scanLine(y), pixels.constData() + qsizetype(y) * packed.width * 4, size_t(packed.width) * 4);
    icon.convertTo(QImage::Format_ARGB32_Premultiplied);
    icon.setDevicePixelRatio(scale);
    return icon;
}

QImage BrelvoImageStorage::spriteAtScale(int scale) {
    if (scale < 1 || scale > atlasdata::kScaleCount) return QImage();
    QImage atlas(QSize(kAtlasWidth, kAtlasHeight) * scale, QImage::Format_ARGB32_Premultiplied);
    atlas.fill(Qt::transparent);
    QPainter painter(&atlas);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    for (int slot = 0; slot < static_cast<int>(kAtlasSlots.size()); ++slot) {
        QImage icon = iconAtScale(slot, scale);
        icon.setDevicePixelRatio(1);
        painter.drawImage(QPoint(kAtlasSlots[slot].x, kAtlasSlots[slot].y) * scale, icon);
    }
    painter.end();
    atlas.setDevicePixelRatio(scale);
    return atlas;
}

QString BrelvoImageStorage::imageData() {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    getSprite().save(&buffer, "PNG");
    return QStringLiteral("data:image/png;base64,") + QString::fromLatin1(png.toBase64());
}

QImage BrelvoImageStorage::imageFromBase64String(const QString& text) {
    if (text.size() < 23) return QImage();
    const QList<QStringView> parts = QStringView(text).split(QLatin1Char(','));
    if (parts.size() != 2) return QImage();
    const std::optional<QByteArray> bytes = decodeBase64WithString(parts[1].toString());
    if (!bytes) return QImage();
    return QImage::fromData(*bytes);
}

std::optional<QByteArray> BrelvoImageStorage::decodeBase64WithString(const QString& text) {
    QByteArray out;
    out.reserve(text.size() / 4 * 3 + 3);
    quint32 bits = 0;
    int inGroup = 0;     // characters of the current group of four, padding included
    int dataInGroup = 0; // of which carry data
    bool padded = false; // padding seen: only whitespace and more padding may follow

    for (const QChar ch : text) {
        const char16_t code = ch.unicode();
        if (code == 0) break;  // the text is read as a zero-terminated string
        if (code >= 128) return std::nullopt;
        const signed char value = kTable[code];
        if (value == kSkip) continue;
        if (value == kInvalid) return std::nullopt;
        if (value == kPad) {
            // Padding may only close a group that holds two or three characters of data.
            if (dataInGroup < 2 || inGroup >= 4) return std::nullopt;
            padded = true;
            ++inGroup;
            continue;
        }
        if (padded) return std::nullopt;
        bits = (bits << 6) | static_cast<quint32>(value);
        ++inGroup;
        ++dataInGroup;
        if (inGroup == 4) {
            out.append(static_cast<char>((bits >> 16) & 0xFF));
            out.append(static_cast<char>((bits >> 8) & 0xFF));
            out.append(static_cast<char>(bits & 0xFF));
            bits = 0;
            inGroup = dataInGroup = 0;
        }
    }
    // The last group, with or without its padding.
    if (dataInGroup == 1) return std::nullopt;  // six bits cannot make a byte
    if (dataInGroup == 2) {
        out.append(static_cast<char>((bits >> 4) & 0xFF));
    } else if (dataInGroup == 3) {
        out.append(static_cast<char>((bits >> 10) & 0xFF));
        out.append(static_cast<char>((bits >> 2) & 0xFF));
    }
    return out;
}

}  // namespace brelvo
