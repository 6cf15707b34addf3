#include "state/InactivityTrigger.h"

#include "state/SharedState.h"

namespace brelvo {

void resetInactivityTriggerFor(const QString& answer) {
    if (!answer.isEmpty()) SharedState::shared().setBrelTrigger(0);
}

}  // namespace brelvo
