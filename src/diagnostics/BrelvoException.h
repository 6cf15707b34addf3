#pragma once

#include <QString>
#include <QVariantMap>

namespace brelvo {

// A failure on its way through the crash path: an uncaught C++ exception
// (name: its type, reason: what()) or a fatal signal (name
// "BrelvoUncaughtExceptionHandlerSignalExceptionName", user info
// "BrelvoUncaughtExceptionHandlerSignalKey": the signal number).
struct BrelvoException {
    QString name;
    QString reason;
    QVariantMap userInfo;
};

}  // namespace brelvo
