#pragma once

#include <QColor>
#include <QSize>
#include <QString>
#include <QVariantMap>

#include <chrono>
#include <functional>

namespace brelvo::test {

// The per-process home folder the test main made (BRELVO_HOME).
QString home();

// Spins the event loop until the condition holds or the deadline passes.
bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds deadline = std::chrono::seconds(10));

// Waits until every task queued on the library's pool has finished and what it
// handed to the GUI thread has run.
bool drainPool();

// A PNG file of one colour.
QByteArray pngOf(QColor colour, QSize size = QSize(8, 6));

// The map a JSON text holds; a text that is no JSON object fails the test.
QVariantMap parseObject(const QByteArray& text);

// A file's bytes; none when it cannot be read.
QByteArray readFile(const QString& path);

}  // namespace brelvo::test
