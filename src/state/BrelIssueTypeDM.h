#pragma once

#include "state/IconNameRecord.h"

namespace brelvo {

// An issue type of the authentication answer, archived as "Type_ID", "Type_icon", "Type_name".
class BrelIssueTypeDM : public ArchivedIconNameRecord<BrelIssueTypeDM> {
public:
    static constexpr const char* kArchivePrefix = "Type_";
};

}  // namespace brelvo
