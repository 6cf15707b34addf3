#pragma once

#include <QString>

namespace brelvo::crash {

// Reports an earlier run left in the crash file at the path and did not
// deliver: each joins the crash queue once, with its stack made readable now
// and the context that run last saved (the current one when it saved none).
// Install step, before the file is opened (and so emptied) for this run.
// True when they are on disk in the queue (or there were none).
bool queueLeftReports(const QString& path);

// Install step: queues what the crash file at the path holds from an earlier
// run, then opens the file for this run's reports, which empties it. When the
// queue could not be written (a full disk) the file stays as it is for a
// later start, and this run goes without one.
void takeOverCrashFile(const QString& path);

}  // namespace brelvo::crash
