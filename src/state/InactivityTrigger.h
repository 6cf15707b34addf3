#pragma once

#include <QString>

namespace brelvo {

// Any answer from the service (even a refusal) shows the session is alive:
// the facade's inactivity trigger starts again from 0. An empty answer (no
// connection, no bytes) leaves it as it is.
void resetInactivityTriggerFor(const QString& answer);

}  // namespace brelvo
