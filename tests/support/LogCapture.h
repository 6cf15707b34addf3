#pragma once

#include <QMutex>
#include <QMutexLocker>
#include <QStringList>
#include <QtGlobal>

namespace brelvo::test {

// Collects the messages the process logs while it lives, every one or only
// those of one logging category (the library's is "brelvo"), and restores the
// previous handler when it goes. One at a time.
class LogCapture {
public:
    explicit LogCapture(const char* category = nullptr) : category_(category) {
        current() = this;
        previous_ = qInstallMessageHandler(&LogCapture::handle);
    }
    ~LogCapture() {
        qInstallMessageHandler(previous_);
        current() = nullptr;
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    QStringList lines() const {
        QMutexLocker lock(&mutex_);
        return lines_;
    }
    // A line exactly like this one was logged.
    bool contains(const QString& line) const { return lines().contains(line); }
    // How many lines contain the needle.
    int count(const QString& needle) const {
        int n = 0;
        for (const QString& line : lines())
            if (line.contains(needle)) ++n;
        return n;
    }
    void clear() {
        QMutexLocker lock(&mutex_);
        lines_.clear();
    }

private:
    static LogCapture*& current() {
        static LogCapture* c = nullptr;
        return c;
    }
    static void handle(QtMsgType, const QMessageLogContext& context, const QString& message) {
        LogCapture* c = current();
        if (!c || (c->category_ && qstrcmp(context.category, c->category_) != 0)) return;
        QMutexLocker lock(&c->mutex_);
        c->lines_.append(message);
    }

    const char* const category_;
    mutable QMutex mutex_;
    QStringList lines_;
    QtMessageHandler previous_ = nullptr;
};

}  // namespace brelvo::test
