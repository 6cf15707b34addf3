#include "platform/HostEvents.h"

#include <QCoreApplication>
#include <QThread>

namespace brelvo {

BrelvoEvents::BrelvoEvents(QObject* parent) : QObject(parent) {}

BrelvoEvents::~BrelvoEvents() = default;

namespace hostevents {

BrelvoEvents& object() {
    static BrelvoEvents* events = [] {
        auto* made = new BrelvoEvents;  // lives until the process ends
        // The host's slots run on the GUI thread, whichever thread asked first.
        if (QCoreApplication* app = QCoreApplication::instance()) made->moveToThread(app->thread());
        return made;
    }();
    return *events;
}

void onObjectThread(std::function<void(BrelvoEvents&)> emission) {
    if (!QCoreApplication::instance()) return;
    BrelvoEvents& events = object();
    if (QThread::currentThread() == events.thread()) {
        emission(events);
        return;
    }
    QMetaObject::invokeMethod(&events, [&events, emission = std::move(emission)] { emission(events); },
                              Qt::QueuedConnection);
}

}  // namespace hostevents
}  // namespace brelvo
