#include "platform/PngEncoder.h"

#include <QBuffer>
#include <QPainter>

#include <gtest/gtest.h>

namespace png = brelvo::png;

namespace {

// Every format a capture comes in, at sizes down to one pixel and odd widths;
// premultiplied images mix opaque rows with translucent ones, which take
// different paths.
TEST(PngEncoder, DecodesToTheSourcePixelsInEveryCaptureFormat) {
    const QImage::Format formats[] = {QImage::Format_ARGB32_Premultiplied, QImage::Format_ARGB32, QImage::Format_RGB32,
                                      QImage::Format_RGB888, QImage::Format_RGBA8888};
    const QSize sizes[] = {{1, 1}, {7, 3}, {33, 17}};
    for (QImage::Format format : formats) {
        for (QSize size : sizes) {
            QImage straight(size, QImage::Format_ARGB32);
            for (int y = 0; y < size.height(); ++y)
                for (int x = 0; x < size.width(); ++x)
                    straight.setPixel(x, y, qRgba(x * 7 + y, 255 - x * 3, y * 11, y % 2 ? 255 : (x * 37 + 1) % 256));
            const QImage image = straight.convertToFormat(format);
            const QByteArray bytes = png::encode(image);
            const QImage decoded = QImage::fromData(bytes, "PNG");
            ASSERT_FALSE(decoded.isNull()) << format << " " << size.width() << "x" << size.height();
            EXPECT_EQ(decoded.convertToFormat(QImage::Format_ARGB32), image.convertToFormat(QImage::Format_ARGB32))
                << format << " " << size.width() << "x" << size.height();
        }
    }
    EXPECT_TRUE(png::encode(QImage()).isEmpty());
}

// Speed must not cost size: a screen of text, lines and a picture comes out no
// larger than Qt's own default PNG encoding of it.
TEST(PngEncoder, AScreenIsNoLargerThanTheDefaultQtEncoding) {
    QImage screen(540, 1170, QImage::Format_ARGB32_Premultiplied);
    screen.fill(Qt::white);
    {
        QPainter painter(&screen);
        QLinearGradient gradient(0, 0, 540, 160);
        gradient.setColorAt(0, QColor(30, 90, 200));
        gradient.setColorAt(1, QColor(240, 120, 40));
        painter.fillRect(0, 0, 540, 160, gradient);
        for (int i = 0; i < 36; ++i) {
            painter.setPen(QColor(20, 20, 20));
            painter.drawText(16, 190 + i * 27, QStringLiteral("Note %1: shopping, ideas and a longer line of text").arg(i));
            painter.setPen(QColor(220, 220, 225));
            painter.drawLine(0, 196 + i * 27, 540, 196 + i * 27);
        }
    }
    QByteArray qtDefault;
    QBuffer buffer(&qtDefault);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(screen.save(&buffer, "PNG"));
    const QByteArray ours = png::encode(screen);
    ASSERT_FALSE(ours.isEmpty());
    EXPECT_LE(ours.size(), qtDefault.size());
}

}  // namespace
