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

bool isMainThread();
QThreadPool& globalPool();

// Runs on each pool thread before its first work item (the crash path gives
// every library thread an alternate signal stack this way). Set once, at start-up.
void setWorkerPreparation(void (*prepare)());

}  // namespace brelvo::dispatch
