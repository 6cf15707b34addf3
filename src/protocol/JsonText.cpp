#include "protocol/JsonText.h"

#include <algorithm>

namespace brelvo {
namespace {

bool needsEscape(QChar c) {
    return c.unicode() < 0x20 || c == QLatin1Char('"') || c == QLatin1Char('\\');
}

}  // namespace

QString jsonEscapedText(const QString& text) {
    if (text.isNull()) return QStringLiteral("(null)");
    if (std::none_of(text.cbegin(), text.cend(), needsEscape)) return text;

    QString out;
    out.reserve(text.size() + 8);
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"': out += QLatin1String("\\\""); break;
        case '\\': out += QLatin1String("\\\\"); break;
        case '\b': out += QLatin1String("\\b"); break;
        case '\f': out += QLatin1String("\\f"); break;
        case '\n': out += QLatin1String("\\n"); break;
        case '\r': out += QLatin1String("\\r"); break;
        case '\t': out += QLatin1String("\\t"); break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    return out;
}

QByteArray jsonEscaped(const QString& text) {
    return jsonEscapedText(text).toUtf8();
}

void appendJsonEscaped(QByteArray& out, const QString& text) {
    out.append(jsonEscapedText(text).toUtf8());
}

}  // namespace brelvo
