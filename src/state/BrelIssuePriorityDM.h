#pragma once

#include "state/IconNameRecord.h"

namespace brelvo {

// An issue priority of the authentication answer, archived as "Priority_ID", "Priority_icon", "Priority_name".
class BrelIssuePriorityDM : public ArchivedIconNameRecord<BrelIssuePriorityDM> {
public:
    static constexpr const char* kArchivePrefix = "Priority_";
};

}  // namespace brelvo
