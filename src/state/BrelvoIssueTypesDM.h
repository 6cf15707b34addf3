#pragma once

#include "state/IconNameRecord.h"

namespace brelvo {

// An issue type as a picker lists it (no archive form).
class BrelvoIssueTypesDM : public IconNameRecord<BrelvoIssueTypesDM> {};

}  // namespace brelvo
