#include "platform/Log.h"

namespace brelvo {

Q_LOGGING_CATEGORY(lcBrelvo, "brelvo", QtWarningMsg)
Q_LOGGING_CATEGORY(lcActivity, "brelvo.activity", QtWarningMsg)

}  // namespace brelvo
