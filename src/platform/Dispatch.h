#pragma once

#include <QThreadPool>

#include <functional>

namespace brelvo::dispatch {

// The GUI thread is the "main queue": work posted there runs in order from the
// Qt event loop. The "global queue" is a thread pool of its own, so that the
// library's blocking service calls never starve the host's QThreadPool.
void toMain(std::function<void()> work);
void toGlobal(std::function<void()> work);

// Runs the work on the GUI thread and returns when it is done (directly when
// called on the GUI thread).
void toMainAndWait(const std::function<void()>& work);

// What make() returns, made on the GUI thread (for objects that must live
// there, such as a QObject that queues results to itself).
template <typename Make>
auto createOnMain(Make make) {
    decltype(make()) made{};
    toMainAndWait([&] { made = make(); });
    return made;
}

bool isMainThread();
QThreadPool& globalPool();

// Runs on each pool thread before its first work item (the crash path gives
// every library thread an alternate signal stack this way). Set once, at start-up.
void setWorkerPreparation(void (*prepare)());

}  // namespace brelvo::dispatch
