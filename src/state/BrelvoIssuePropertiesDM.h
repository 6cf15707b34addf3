#pragma once

#include "state/IconNameRecord.h"

namespace brelvo {

// An issue property (such as a priority) as a picker lists it (no archive form).
class BrelvoIssuePropertiesDM : public IconNameRecord<BrelvoIssuePropertiesDM> {};

}  // namespace brelvo
