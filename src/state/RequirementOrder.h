#pragma once

#include <QVariant>
#include <QVariantList>

#include <optional>

namespace brelvo {

// How requirement lists are ordered wherever they are shown: by the member
// "priority", highest first. The rows are the service's dictionaries as they
// came; a priority may be a number, a numeric text, or missing.

// The row's priority as a number; none when it has no numeric one (missing,
// null, a word, not a dictionary at all).
std::optional<double> requirementPriority(const QVariant& requirement);

// Sorts highest priority first. Rows of equal priority keep their order, and
// rows without a numeric priority follow all others, in their order.
void sortByPriority(QVariantList& requirements);

}  // namespace brelvo
