#pragma once

#include <QByteArray>
#include <QLoggingCategory>
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
        // What is off by default (the tester's activity) is captured too.
        QLoggingCategory::setFilterRules(QStringLiteral("brelvo*.debug=true\nbrelvo*.info=true"));
    }
    ~LogCapture() {
        QLoggingCategory::setFilterRules(QString());
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
        // A category captures its sub-categories ("brelvo" takes "brelvo.activity").
        if (!c || (c->category_ && !QByteArray(context.category).startsWith(c->category_))) return;
        QMutexLocker lock(&c->mutex_);
        c->lines_.append(message);
    }

    const char* const category_;
    mutable QMutex mutex_;
    QStringList lines_;
    QtMessageHandler previous_ = nullptr;
};

}  // namespace brelvo::test
