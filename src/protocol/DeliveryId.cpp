#include "protocol/DeliveryId.h"

#include <QByteArray>
#include <QRandomGenerator>

#include <algorithm>
#include <cstring>

namespace brelvo::delivery {

void newRawId(char* raw) {
    quint32 words[kBytes / 4];
    QRandomGenerator::system()->fillRange(words);
    std::memcpy(raw, words, kBytes);
}

QString newId() {
    char raw[kBytes];
    newRawId(raw);
    return QString::fromLatin1(QByteArray(raw, kBytes).toHex());
}

QString fromBytes(const char* raw) {
    if (std::all_of(raw, raw + kBytes, [](char c) { return c == 0; })) return QString();
    return QString::fromLatin1(QByteArray(raw, kBytes).toHex());
}

bool isId(const QString& text) {
    return text.size() == 2 * kBytes && std::all_of(text.begin(), text.end(), [](QChar c) {
               return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f'));
           });
}

}  // namespace brelvo::delivery
