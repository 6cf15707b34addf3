#include "platform/SystemSound.h"

#include "platform/Log.h"
#include "platform/OptionalLibrary.h"

#include <QMutex>
#include <QMutexLocker>
#include <QtGlobal>

#ifdef BRELVO_HAVE_CANBERRA
#include <canberra.h>
#endif

namespace brelvo::systemsound {

#ifdef BRELVO_HAVE_CANBERRA
namespace {

// libcanberra and the sound libraries it pulls in, loaded at the first sound.
struct Canberra {
    decltype(&ca_context_create) create = nullptr;
    decltype(&ca_context_play) play = nullptr;
    decltype(&ca_strerror) error = nullptr;
    bool usable = false;
};

const Canberra& canberra() {
    static const Canberra loaded = [] {
        static const OptionalLibrary library("libcanberra.so.0");
        Canberra c;
        c.usable = library.resolve(c.create, "ca_context_create") & library.resolve(c.play, "ca_context_play") &
                   library.resolve(c.error, "ca_strerror");
        return c;
    }();
    return loaded;
}

}  // namespace
#endif

void play(int soundId) {
#ifdef BRELVO_HAVE_CANBERRA
    static QMutex soundMutex;
    static ca_context* context = nullptr;  // lives until the process ends
    QMutexLocker lock(&soundMutex);
    const Canberra& ca = canberra();
    if (!ca.usable) return;
    if (!context && ca.create(&context) != CA_SUCCESS) {
        context = nullptr;
        return;
    }
    const char* event = soundId == kShutterSoundId ? "camera-shutter" : "bell";
    // Plays asynchronously; without a sound server this fails and nothing is heard.
    const int rc = ca.play(context, 0, CA_PROP_EVENT_ID, event, nullptr);
    if (rc != CA_SUCCESS) qCDebug(lcBrelvo) << "system sound" << soundId << "not played:" << ca.error(rc);
#else
    Q_UNUSED(soundId);
#endif
}

}  // namespace brelvo::systemsound
