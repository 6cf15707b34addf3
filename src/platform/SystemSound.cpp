#include "platform/SystemSound.h"

#include "platform/Log.h"

#include <QMutex>
#include <QMutexLocker>
#include <QtGlobal>

#ifdef BRELVO_HAVE_CANBERRA
#include <canberra.h>
#endif

namespace brelvo::systemsound {

void play(int soundId) {
#ifdef BRELVO_HAVE_CANBERRA
    static QMutex soundMutex;
    static ca_context* context = nullptr;  // lives until the process ends
    QMutexLocker lock(&soundMutex);
    if (!context && ca_context_create(&context) != CA_SUCCESS) {
        context = nullptr;
        return;
    }
    const char* event = soundId == kShutterSoundId ? "camera-shutter" : "bell";
    // Plays asynchronously; without a sound server this fails and nothing is heard.
    const int rc = ca_context_play(context, 0, CA_PROP_EVENT_ID, event, nullptr);
    if (rc != CA_SUCCESS) qCDebug(lcBrelvo) << "system sound" << soundId << "not played:" << ca_strerror(rc);
#else
    Q_UNUSED(soundId);
#endif
}

}  // namespace brelvo::systemsound
