#include "platform/Log.h"

namespace brelvo {

Q_LOGGING_CATEGORY(lcBrelvo, "brelvo")

}  // namespace brelvo
