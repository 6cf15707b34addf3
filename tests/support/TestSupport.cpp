#include "support/TestSupport.h"

#include "platform/Dispatch.h"
#include "platform/Json.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QTest>

#include <gtest/gtest.h>

namespace brelvo::test {

QString home() {
    return qEnvironmentVariable("BRELVO_HOME");
}

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds deadline) {
    return QTest::qWaitFor(condition, static_cast<int>(deadline.count()));
}

bool drainPool() {
    if (!dispatch::globalPool().waitForDone(10000)) return false;
    bool flushed = false;
    dispatch::toMain([&] { flushed = true; });
    return waitFor([&] { return flushed; });
}

QByteArray pngOf(QColor colour, QSize size) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QVariantMap parseObject(const QByteArray& text) {
    const QVariant value = json::parse(text);
    EXPECT_EQ(value.typeId(), QMetaType::QVariantMap) << text.constData();
    return value.toMap();
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace brelvo::test
