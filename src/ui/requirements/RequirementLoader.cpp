#include "ui/requirements/RequirementLoader.h"

#include "platform/Dispatch.h"
#include "protocol/AnalizeResponseBrelvo.h"
#include "protocol/JSONClientBrelvo.h"
#include "protocol/NetworkClientBrelvo.h"
#include "state/InactivityTrigger.h"
#include "state/SharedState.h"

#include <QPointer>

namespace brelvo {

bool RequirementLoader::load(int rid) {
    if (!SharedState::shared().isInit()) return false;
    const quint64 generation = ++generation_;
    const QPointer<RequirementLoader> self(this);
    dispatch::toGlobal([self, generation, rid] {
        const QString answer = NetworkClientBrelvo::shared().makePOSTRequestWithMethod(
            QStringLiteral("requirement"), JSONClientBrelvo::shared().getRequirementData(rid));
        resetInactivityTriggerFor(answer);
        AnalizeResponseBrelvo& analyser = AnalizeResponseBrelvo::shared();
        const QVariantMap requirement = answer.isEmpty() ? QVariantMap() : analyser.getRequirement(answer).toMap();
        if (analyser.isError()) analyser.handleErrorFromResponse(answer);
        dispatch::toMain([self, generation, rid, requirement] {
            if (!self || generation != self->generation_) return;
            if (requirement.isEmpty())
                emit self->failed(rid);
            else
                emit self->loaded(requirement);
        });
    });
    return true;
}

}  // namespace brelvo
