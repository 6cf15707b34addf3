#include "state/RequirementOrder.h"

#include "platform/VariantKinds.h"

#include <QVariantMap>

#include <algorithm>
#include <cmath>

namespace brelvo {

std::optional<double> requirementPriority(const QVariant& requirement) {
    if (requirement.typeId() != QMetaType::QVariantMap) return std::nullopt;
    const QVariant priority = requirement.toMap().value(QStringLiteral("priority"));
    double value = 0;
    if (variants::isNumber(priority)) {
        value = priority.toDouble();
    } else if (priority.typeId() == QMetaType::QString) {
        bool ok = false;
        value = priority.toString().trimmed().toDouble(&ok);
        if (!ok) return std::nullopt;
    } else {
        return std::nullopt;
    }
    if (std::isnan(value)) return std::nullopt;
    return value;
}

void sortByPriority(QVariantList& requirements) {
    // Each key once: the comparison runs n log n times.
    QList<std::pair<std::optional<double>, QVariant>> keyed;
    keyed.reserve(requirements.size());
    for (const QVariant& r : std::as_const(requirements)) keyed.append({requirementPriority(r), r});
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
        if (!a.first || !b.first) return a.first.has_value() && !b.first.has_value();
        return *a.first > *b.first;
    });
    for (qsizetype i = 0; i < keyed.size(); ++i) requirements[i] = keyed[i].second;
}

}  // namespace brelvo
