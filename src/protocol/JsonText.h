#pragma once

#include <QByteArray>
#include <QString>

namespace brelvo {

// Text inserted into a JSON document built from a fixed template: quote,
// backslash and control characters are escaped so that the value stays one
// string; any other text comes out byte for byte as it went in. A null string
// gives "(null)", the formatter's text for no value, so that absent facts (no
// carrier, no advertising identifier) still leave a well-formed document.
QByteArray jsonEscaped(const QString& text);   // UTF-8
QString jsonEscapedText(const QString& text);
// Appends the escaped UTF-8 form to out (bodies are built in one buffer).
void appendJsonEscaped(QByteArray& out, const QString& text);

}  // namespace brelvo
