#pragma once

#include <QString>

namespace brelvo::paths {

// The application's folders. BRELVO_HOME, when set, moves all of them under one
// folder (tests and side-by-side installs); otherwise they follow
// QStandardPaths. Each call creates the folder when it is missing.
QString documents();   // AppDataLocation or $BRELVO_HOME/Documents
QString caches();      // CacheLocation or $BRELVO_HOME/Caches
QString temporary();   // TempLocation/<application name> or $BRELVO_HOME/tmp

}  // namespace brelvo::paths
