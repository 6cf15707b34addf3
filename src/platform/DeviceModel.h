#pragma once

#include <QString>

// The hardware model identifier the device reports to the service.
namespace brelvo::devicemodel {

// The override when one is set, else BRELVO_MODEL_IDENTIFIER, else the device
// tree's model (boards, handhelds), else the DMI product name (PCs), else
// "Linux". Read on each call; any thread.
QString identifier();

// Replaces what the device says about itself; empty removes the override.
void setOverride(const QString& identifier);

}  // namespace brelvo::devicemodel
