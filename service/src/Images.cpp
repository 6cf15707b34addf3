#include "Images.h"

#include <QBuffer>
#include <QColor>
#include <QCryptographicHash>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

namespace brelvo::service {

QByteArray iconPng(const QString& name, int size) {
  QByteArray hash = QCryptographicHash::hash(name.toUtf8(), QCryptographicHash::Md5);
  int hue = ((static_cast<unsigned char>(hash[0]) << 8) | static_cast<unsigned char>(hash[1])) % 360;
  QColor base = QColor::fromHsv(hue, 150, 200);

  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  {
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath square;
    square.addRoundedRect(QRectF(0, 0, size, size), size / 6.0, size / 6.0);
    p.fillPath(square, base);
    p.setPen(Qt::NoPen);
    if (name.startsWith(QLatin1String("tester-"))) {
      // A tester's picture: head and shoulders, as a portrait crops them.
      p.setBrush(QColor(255, 255, 255, 230));
      p.drawEllipse(QRectF(size * 0.34, size * 0.2, size * 0.32, size * 0.32));
      p.drawEllipse(QRectF(size * 0.16, size * 0.58, size * 0.68, size * 0.7));
    } else {
      p.setBrush(base.lighter(150));
      p.drawEllipse(QRectF(size * 0.25, size * 0.25, size * 0.5, size * 0.5));
    }
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

}  // namespace brelvo::service
