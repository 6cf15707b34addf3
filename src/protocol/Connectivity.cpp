#include "protocol/Connectivity.h"

#include "protocol/BVReachability.h"
#include "protocol/NetworkClientBrelvo.h"
#include "state/UserHelperBrelvo.h"

#include <QUrl>

namespace brelvo::connectivity {

QString serviceHost() {
    return QUrl(NetworkClientBrelvo::serviceUrl()).host();
}

bool serviceReachable() {
    const auto reachability = BVReachability::reachabilityWithHostName(serviceHost());
    return reachability && reachability->currentReachabilityStatus() != BVReachability::NotReachable;
}

bool reachable() {
    if (serviceReachable()) return true;
    UserHelperBrelvo::shared().setErrorMessage(QStringLiteral("No internet connection"));
    return false;
}

}  // namespace brelvo::connectivity
