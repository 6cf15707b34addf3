#pragma once

namespace brelvo::crash {

// Gives the calling thread an alternate signal stack (once per thread), so
// that a stack overflow on it is caught and reported too. Done for the thread
// that installs the handlers and for every library thread.
void prepareThread();

}  // namespace brelvo::crash
