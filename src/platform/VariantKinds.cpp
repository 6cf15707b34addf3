#include "platform/VariantKinds.h"

namespace brelvo::variants {

bool isNumber(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

QVariantList listOf(const QVariant& value) {
    return value.typeId() == QMetaType::QVariantList ? value.toList() : QVariantList();
}

}  // namespace brelvo::variants
