#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <cstdint>

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

// Adds a requirement to the build with the revision id (at the rid of
// `fields`, or after the build's others when it has none), or changes the one
// with that rid: only the members `fields` holds change, as texts or numbers
// of the seed's requirement members. False with a message when the build is
// unknown, a new requirement has no title or a member is malformed.
bool saveRequirement(Database& db, std::int64_t revisionId, const QJsonObject& fields, QString* message);

// Testers' own statuses of the build's requirements (only requirement `rid`
// unless 0, only tester `testerId` unless 0) are forgotten: they see each
// requirement's starting status again. Their results stay in the history.
bool resetStatuses(Database& db, std::int64_t revisionId, std::int64_t rid, std::int64_t testerId, QString* message);

}  // namespace brelvo::service
