#pragma once

#include <QString>

namespace brelvo::errorhandler {

// "ErrorHandler.plist" in the documents folder's "MorivaFiles": the state the
// crash path leaves for the next run ("ExitCode" "1" when created, "2" once a
// crash was handled; "MVLogFileName" fixed at creation).
QString folderPath();
QString plistPath();

// Creates "MorivaFiles" (with intermediate folders) when nothing is there.
void createMorivaFolderInDocumentsFolder();
// Creates the file unless a readable dictionary is already there.
void createPlist();
// Sets "ExitCode" to the decimal text of the status; nothing is written when
// the file cannot be read.
void setAppStatus(int status);

}  // namespace brelvo::errorhandler
