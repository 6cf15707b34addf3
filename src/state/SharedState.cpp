#include "state/SharedState.h"

namespace brelvo {

SharedState& SharedState::shared() {
    static SharedState* instance = new SharedState;  // read from the crash path: never destroyed
    return *instance;
}

#define BRELVO_STATE_FLAG(Type, getter, setter, field) \
    Type SharedState::getter() const {                 \
        QMutexLocker lock(&mutex_);                    \
        return field;                                  \
    }                                                  \
    void SharedState::setter(Type value) {             \
        QMutexLocker lock(&mutex_);                    \
        field = value;                                 \
    }

BRELVO_STATE_FLAG(int, lockingMode, setLockingMode, lockingMode_)
BRELVO_STATE_FLAG(bool, autoUpdate, setAutoUpdate, autoUpdate_)
BRELVO_STATE_FLAG(bool, isInit, setIsInit, isInit_)
BRELVO_STATE_FLAG(bool, isHide, setIsHide, isHide_)
BRELVO_STATE_FLAG(bool, isOpenGL, setIsOpenGL, isOpenGL_)
BRELVO_STATE_FLAG(bool, offlineMode, setOfflineMode, offlineMode_)
BRELVO_STATE_FLAG(double, brelTrigger, setBrelTrigger, brelTrigger_)
BRELVO_STATE_FLAG(bool, isError, setIsError, isError_)
BRELVO_STATE_FLAG(bool, dismissed, setDismissed, dismissed_)
#undef BRELVO_STATE_FLAG

}  // namespace brelvo
