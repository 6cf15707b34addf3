#include "platform/Json.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>

namespace brelvo::json {
namespace {

QVariant convert(const QJsonValue& value) {
    switch (value.type()) {
    case QJsonValue::Null:
        return QVariant::fromValue(nullptr);
    case QJsonValue::Bool:
        return value.toBool();
    case QJsonValue::Double: {
        // The parser keeps a whole-valued number that fits in 64 bits as an
        // exact integer (also when written 2.0 or 1e3); everything else is a double.
        const QVariant v = value.toVariant();
        if (v.typeId() == QMetaType::LongLong) return v;
        return value.toDouble();
    }
    case QJsonValue::String:
        return value.toString();
    case QJsonValue::Array: {
        const QJsonArray array = value.toArray();
        QVariantList list;
        list.reserve(array.size());
        for (const QJsonValue& element : array) list.append(convert(element));
        return list;
    }
    case QJsonValue::Object: {
        const QJsonObject object = value.toObject();
        QVariantMap map;
        for (auto it = object.begin(); it != object.end(); ++it) map.insert(it.key(), convert(it.value()));
        return map;
    }
    case QJsonValue::Undefined:
        break;
    }
    return {};
}

}  // namespace

QVariant parse(const QByteArray& utf8) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(utf8, &error);
    if (error.error != QJsonParseError::NoError) return {};
    if (document.isObject()) return convert(document.object());
    if (document.isArray()) return convert(document.array());
    return {};
}

bool isNull(const QVariant& value) {
    return value.typeId() == QMetaType::Nullptr;
}

}  // namespace brelvo::json
