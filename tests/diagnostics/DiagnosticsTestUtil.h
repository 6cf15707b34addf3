#pragma once

#include "support/LogCapture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace brelvo::test {

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
