#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace brelvo {

// Standard Base64 (RFC 4648 alphabet, "=" padding, no line breaks).
class Base64Brelvo {
public:
    // Builds the decoding table; every operation makes sure it is built.
    static void initialize();

    static QByteArray encode(const QByteArray& bytes);
    static QByteArray encode(const char* data, qsizetype length);
    // Appends the encoding of the bytes to out (no intermediate copy).
    static void encodeInto(QByteArray& out, const char* data, qsizetype length);

    // None when the length is not a multiple of 4. Trailing "=" are dropped;
    // a character outside the alphabet counts as 0.
    static std::optional<QByteArray> decode(const QString& text);
    static std::optional<QByteArray> decode(const char* data, qsizetype length);
};

}  // namespace brelvo
