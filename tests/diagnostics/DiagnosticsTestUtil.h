#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
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

// Collects the library's warnings while alive.
class LogCapture {
public:
    LogCapture() {
        instance() = this;
        previous_ = qInstallMessageHandler(&LogCapture::handler);
    }
    ~LogCapture() {
        qInstallMessageHandler(previous_);
        instance() = nullptr;
    }
    QStringList lines() const {
        QMutexLocker lock(&mutex_);
        return lines_;
    }

private:
    static LogCapture*& instance() {
        static LogCapture* current = nullptr;
        return current;
    }
    static void handler(QtMsgType, const QMessageLogContext&, const QString& message) {
        if (LogCapture* capture = instance()) {
            QMutexLocker lock(&capture->mutex_);
            capture->lines_.append(message);
        }
    }
    mutable QMutex mutex_;
    QStringList lines_;
    QtMessageHandler previous_ = nullptr;
};

}  // namespace brelvo::test
