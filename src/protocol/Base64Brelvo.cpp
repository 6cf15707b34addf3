#include "protocol/Base64Brelvo.h"

#include <array>
#include <mutex>

namespace brelvo {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
std::array<unsigned char, 256> decodingTable{};
std::once_flag tableBuilt;

}  // namespace

void Base64Brelvo::initialize() {
    std::call_once(tableBuilt, [] {
        decodingTable.fill(0);  // a character outside the alphabet counts as 0
        for (unsigned char i = 0; i < 64; ++i) decodingTable[static_cast<unsigned char>(kAlphabet[i])] = i;
    });
}

void Base64Brelvo::encodeInto(QByteArray& out, const char* data, qsizetype length) {
    if (length <= 0) return;
    const qsizetype start = out.size();
    out.resize(start + (length + 2) / 3 * 4);
    char* o = out.data() + start;
    const auto* in = reinterpret_cast<const unsigned char*>(data);
    qsizetype i = 0;
    for (; i + 2 < length; i += 3) {
        const unsigned v = (in[i] << 16) | (in[i + 1] << 8) | in[i + 2];
        *o++ = kAlphabet[(v >> 18) & 63];
        *o++ = kAlphabet[(v >> 12) & 63];
        *o++ = kAlphabet[(v >> 6) & 63];
        *o++ = kAlphabet[v & 63];
    }
    if (i < length) {
        const unsigned v = (in[i] << 16) | (i + 1 < length ? in[i + 1] << 8 : 0);
        *o++ = kAlphabet[(v >> 18) & 63];
        *o++ = kAlphabet[(v >> 12) & 63];
        *o++ = i + 1 < length ? kAlphabet[(v >> 6) & 63] : '=';
        *o++ = '=';
    }
}

QByteArray Base64Brelvo::encode(const char* data, qsizetype length) {
    QByteArray out;
    encodeInto(out, data, length);
    return out;
}

QByteArray Base64Brelvo::encode(const QByteArray& bytes) {
    return encode(bytes.constData(), bytes.size());
}

std::optional<QByteArray> Base64Brelvo::decode(const char* data, qsizetype length) {
    initialize();
    if (length < 0 || length % 4 != 0) return std::nullopt;
    while (length > 0 && data[length - 1] == '=') --length;
    QByteArray out;
    out.reserve(length / 4 * 3 + 3);
    const auto* in = reinterpret_cast<const unsigned char*>(data);
    for (qsizetype i = 0; i < length; i += 4) {
        const qsizetype n = qMin<qsizetype>(4, length - i);
        unsigned v = 0;
        for (qsizetype k = 0; k < 4; ++k) v = (v << 6) | (k < n ? decodingTable[in[i + k]] : 0);
        out.append(static_cast<char>((v >> 16) & 0xff));
        if (n > 2) out.append(static_cast<char>((v >> 8) & 0xff));
        if (n > 3) out.append(static_cast<char>(v & 0xff));
    }
    return out;
}

std::optional<QByteArray> Base64Brelvo::decode(const QString& text) {
    const QByteArray ascii = text.toLatin1();
    return decode(ascii.constData(), ascii.size());
}

}  // namespace brelvo
