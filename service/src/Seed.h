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

}  // namespace brelvo::service
