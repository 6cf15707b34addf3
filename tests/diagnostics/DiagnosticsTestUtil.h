#pragma once

#include "support/LogCapture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace brelvo::test {

// The object a JSON text holds; a text that does not parse fails the test.
inline QJsonObject jsonObject(const QString& text) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << text.toStdString();
    return document.object();
}

// A fake kernel tree (/sys or /proc) in a temporary folder.
class FakeTree {
public:
    QString root() const { return dir_.path(); }

    void write(const QString& relativePath, const QByteArray& content) {
        const QString path = dir_.filePath(relativePath);
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
    }
    void mkdir(const QString& relativePath) { ASSERT_TRUE(QDir().mkpath(dir_.filePath(relativePath))); }
    void remove(const QString& relativePath) { QDir(dir_.filePath(relativePath)).removeRecursively(); }

private:
    QTemporaryDir dir_;
};

}  // namespace brelvo::test
