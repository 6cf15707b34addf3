// Base64, MD5 and JSON escaping: any bytes or text go through without
// failing, and each encoding gives back exactly what went in.

#include "FuzzSupport.h"

#include "platform/CategoryHelper.h"
#include "platform/Json.h"
#include "protocol/Base64Brelvo.h"
#include "protocol/JsonText.h"

using namespace brelvo;

namespace {

bool isUpperHex(const QString& text) {
    for (QChar c : text)
        if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('A') && c <= QLatin1Char('F'))))
            return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::prepare();
    const QByteArray bytes = fuzz::bytesOf(data, size);
    const CategoryHelper& helper = CategoryHelper::shared();

    // Base64 of raw bytes, and of arbitrary text read as Base64.
    const QByteArray encoded = Base64Brelvo::encode(bytes);
    fuzz::require(encoded.size() % 4 == 0, "Base64 comes in groups of four");
    const std::optional<QByteArray> decoded = Base64Brelvo::decode(QString::fromLatin1(encoded));
    fuzz::require(decoded && *decoded == bytes, "Base64 decodes to the bytes it encoded");
    QByteArray appended("x");
    Base64Brelvo::encodeInto(appended, bytes.constData(), bytes.size());
    fuzz::require(appended == "x" + encoded, "Base64 appended equals Base64 returned");
    (void)Base64Brelvo::decode(bytes.constData(), bytes.size());

    // The text forms take UTF-8 text.
    QString text = QString::fromUtf8(bytes);
    if (text.isNull()) text = QLatin1String("");
    QString unpadded = helper.base64StringFromString(text);
    fuzz::require(!unpadded.contains(QLatin1Char('=')), "the text's Base64 has no padding");
    while (unpadded.size() % 4 != 0) unpadded += QLatin1Char('=');
    const std::optional<QByteArray> textBytes = Base64Brelvo::decode(unpadded);
    fuzz::require(textBytes && *textBytes == text.toUtf8(), "the text's Base64 decodes to its UTF-8");

    const QString md5 = helper.getMD5HashFromString(text);
    fuzz::require(md5.size() == 32 && isUpperHex(md5), "MD5 is 32 upper-case hexadecimal digits");

    // Escaped text inside a JSON template parses back to the text.
    const QByteArray escaped = jsonEscaped(text);
    fuzz::require(QString::fromUtf8(escaped) == jsonEscapedText(text), "both escaped forms agree");
    QByteArray document("{\"v\":\"");
    appendJsonEscaped(document, text);
    document += "\"}";
    fuzz::require(document == "{\"v\":\"" + escaped + "\"}", "appended escaping equals returned escaping");
    const QVariant parsed = json::parse(document);
    fuzz::require(parsed.toMap().value(QStringLiteral("v")).toString() == text, "escaped text parses back unchanged");
    fuzz::require(helper.dictionaryFromJSONString(QString::fromUtf8(document)).toMap().value(QStringLiteral("v")) == text,
                  "escaped text parses back unchanged through the helper");

    // Arbitrary JSON text.
    (void)json::parse(bytes);
    (void)helper.dictionaryFromJSONString(text);
    return 0;
}
