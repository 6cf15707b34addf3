#pragma once

#include "diagnostics/BrelvoException.h"

#include <QString>
#include <QStringList>

namespace brelvo {

// The description text of a signal number (1 to 25).
QString signalDefenition(int signal);

namespace crash {

// The report text of a signal: "\nSignal %d was raised. \nSignal defenition:\n%@ \nCallStack:\n%@".
QString signalReason(int signal, const QStringList& stack);

// The report text of a failure whose stack is readable already: the reason
// (led by the exception's type, for an exception) and the stack.
QString reportText(const BrelvoException& e);

}  // namespace crash

}  // namespace brelvo
