#pragma once

#include <QByteArray>
#include <QString>

namespace brelvo::service {

class Database;

// Loads a seed document (projects with their apps, revisions, testers, issue
// types and priorities, requirement priorities, requirements) into the
// configuration tables. Rows are matched by their natural keys and updated in
// place, so loading the same seed again changes nothing; a requirement keeps
// the status testers gave it. Returns false with a message for a bad seed,
// leaving the database as it was.
bool loadSeed(Database& db, const QByteArray& json, QString* error);

// Adds one build of an application (its desktop file name or identifier, and
// its version) to the project with the API key, or to the only project when
// the key is empty, so that the library in that build can sign in. Adding it
// again changes nothing. The message says what was added and with which API
// key, or why nothing was.
bool addApp(Database& db, const QString& apiKey, const QString& bundleId, const QString& version, QString* message);

}  // namespace brelvo::service
