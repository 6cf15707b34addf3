#include "state/ErrorInfo.h"

#include "state/RecordValues.h"

namespace brelvo {

ErrorInfo::ErrorInfo(const QVariant& answer) {
    const QVariantMap map = records::mapOf(answer);
    errorMessage_ = records::textOf(map.value(QStringLiteral("error")));
    const QVariantMap scheme = records::mapOf(map.value(QStringLiteral("url_scheme")));
    url_ = records::textOf(scheme.value(QStringLiteral("url")));
    buttonTitle_ = records::textOf(scheme.value(QStringLiteral("title")));
    showRefreshButton_ = records::boolValue(scheme.value(QStringLiteral("refresh")));
}

}  // namespace brelvo
