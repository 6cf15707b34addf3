#pragma once

#include <string>

namespace brelvo::service {

class Database;

// Tables of the service as its first schema version made them (later
// versions are in Schema.cpp). The first group is configuration (loaded from
// the seed); the second is everything testers' devices sent.
inline constexpr const char* kSchema = R"SQL(
CREATE TABLE IF NOT EXISTS projects (
  id INTEGER PRIMARY KEY,
  api_key TEXT NOT NULL UNIQUE,
  title TEXT NOT NULL DEFAULT '',
  icon TEXT NOT NULL DEFAULT '',
  organization_title TEXT NOT NULL DEFAULT '',
  organization_icon TEXT NOT NULL DEFAULT '',
  page_size INTEGER NOT NULL DEFAULT 5,
  default_tester TEXT NOT NULL DEFAULT '',
  schema_open TEXT NOT NULL DEFAULT '',
  schema_install TEXT NOT NULL DEFAULT '',
  schema_logout TEXT NOT NULL DEFAULT ''
);
CREATE TABLE IF NOT EXISTS apps (
  id INTEGER PRIMARY KEY,
  project_id INTEGER NOT NULL REFERENCES projects(id),
  bundle_id TEXT NOT NULL,
  install_url TEXT NOT NULL DEFAULT '',
  UNIQUE (project_id, bundle_id)
);
CREATE TABLE IF NOT EXISTS revisions (
  id INTEGER PRIMARY KEY,
  app_id INTEGER NOT NULL REFERENCES apps(id),
  bundle_version TEXT NOT NULL,
  title TEXT NOT NULL DEFAULT '',
  build_number TEXT NOT NULL DEFAULT '',
  icon TEXT NOT NULL DEFAULT '',
  disabled INTEGER NOT NULL DEFAULT 0,
  update_available INTEGER NOT NULL DEFAULT 0,
  ota_url TEXT NOT NULL DEFAULT '',
  UNIQUE (app_id, bundle_version)
);
CREATE TABLE IF NOT EXISTS testers (
  id INTEGER PRIMARY KEY,
  project_id INTEGER NOT NULL REFERENCES projects(id),
  uid TEXT NOT NULL,
  full_name TEXT NOT NULL DEFAULT '',
  image TEXT NOT NULL DEFAULT '',
  role TEXT NOT NULL DEFAULT '',
  role_name TEXT NOT NULL DEFAULT '',
  email TEXT NOT NULL DEFAULT '',
  udid_prefix TEXT NOT NULL DEFAULT '',
  UNIQUE (project_id, uid)
);
CREATE TABLE IF NOT EXISTS issue_types (
  project_id INTEGER NOT NULL REFERENCES projects(id),
  type_id INTEGER NOT NULL,
  name TEXT NOT NULL DEFAULT '',
  icon TEXT NOT NULL DEFAULT '',
  position INTEGER NOT NULL DEFAULT 0,
  PRIMARY KEY (project_id, type_id)
);
CREATE TABLE IF NOT EXISTS issue_priorities (
  project_id INTEGER NOT NULL REFERENCES projects(id),
  priority_id INTEGER NOT NULL,
  name TEXT NOT NULL DEFAULT '',
  icon TEXT NOT NULL DEFAULT '',
  position INTEGER NOT NULL DEFAULT 0,
  PRIMARY KEY (project_id, priority_id)
);
CREATE TABLE IF NOT EXISTS requirement_priorities (
  project_id INTEGER NOT NULL REFERENCES projects(id),
  priority_id INTEGER NOT NULL,
  name TEXT NOT NULL DEFAULT '',
  position INTEGER NOT NULL DEFAULT 0,
  PRIMARY KEY (project_id, priority_id)
);
CREATE TABLE IF NOT EXISTS requirements (
  id INTEGER PRIMARY KEY,
  revision_id INTEGER NOT NULL REFERENCES revisions(id),
  rid INTEGER NOT NULL,
  code TEXT NOT NULL DEFAULT '',
  kind INTEGER NOT NULL DEFAULT 1,
  priority INTEGER NOT NULL DEFAULT 0,
  title TEXT NOT NULL DEFAULT '',
  description TEXT NOT NULL DEFAULT '',
  actor TEXT,
  action TEXT,
  exp_result TEXT NOT NULL DEFAULT '',
  reference TEXT,
  number INTEGER NOT NULL DEFAULT 0,
  status INTEGER NOT NULL DEFAULT 0,
  UNIQUE (revision_id, rid)
);

CREATE TABLE IF NOT EXISTS sessions (
  id INTEGER PRIMARY KEY,
  token TEXT NOT NULL UNIQUE,
  project_id INTEGER NOT NULL,
  revision_id INTEGER NOT NULL,
  tester_id INTEGER,
  udid TEXT NOT NULL DEFAULT '',
  locale TEXT NOT NULL DEFAULT '',
  a_v TEXT NOT NULL DEFAULT '',
  created_at INTEGER NOT NULL
);
CREATE TABLE IF NOT EXISTS requests (
  id INTEGER PRIMARY KEY,
  received_at INTEGER NOT NULL,
  method TEXT NOT NULL,
  session_id INTEGER,
  body_bytes INTEGER NOT NULL,
  response_code INTEGER,
  fault TEXT
);
CREATE TABLE IF NOT EXISTS issues (
  id INTEGER PRIMARY KEY,
  session_id INTEGER NOT NULL,
  received_at INTEGER NOT NULL,
  locale TEXT NOT NULL DEFAULT '',
  tracker TEXT NOT NULL DEFAULT '',
  priority TEXT NOT NULL DEFAULT '',
  subject TEXT NOT NULL DEFAULT '',
  description TEXT NOT NULL DEFAULT '',
  rid TEXT NOT NULL DEFAULT '',
  uid TEXT NOT NULL DEFAULT '',
  draft TEXT NOT NULL DEFAULT '',
  delivery_id TEXT
);
CREATE TABLE IF NOT EXISTS attachments (
  id INTEGER PRIMARY KEY,
  issue_id INTEGER NOT NULL REFERENCES issues(id),
  position INTEGER NOT NULL,
  name TEXT NOT NULL DEFAULT '',
  path TEXT NOT NULL,
  size INTEGER NOT NULL,
  is_png INTEGER NOT NULL
);
CREATE TABLE IF NOT EXISTS crashes (
  id INTEGER PRIMARY KEY,
  session_id INTEGER,
  project_id INTEGER,
  received_at INTEGER NOT NULL,
  locale TEXT NOT NULL DEFAULT '',
  app_id TEXT NOT NULL DEFAULT '',
  api_key TEXT NOT NULL DEFAULT '',
  udid TEXT NOT NULL DEFAULT '',
  uid TEXT NOT NULL DEFAULT '',
  rid TEXT NOT NULL DEFAULT '',
  log TEXT NOT NULL,
  log_path TEXT NOT NULL DEFAULT '',
  device_env TEXT NOT NULL,
  delivery_id TEXT
);
CREATE TABLE IF NOT EXISTS log_batches (
  id INTEGER PRIMARY KEY,
  session_id INTEGER,
  received_at INTEGER NOT NULL,
  format TEXT NOT NULL,
  locale TEXT NOT NULL DEFAULT '',
  entry_count INTEGER NOT NULL,
  delivery_id TEXT
);
CREATE TABLE IF NOT EXISTS log_entries (
  id INTEGER PRIMARY KEY,
  batch_id INTEGER NOT NULL REFERENCES log_batches(id),
  log_level TEXT NOT NULL DEFAULT '',
  message TEXT NOT NULL DEFAULT '',
  created_at TEXT NOT NULL DEFAULT ''
);
CREATE TABLE IF NOT EXISTS state_events (
  id INTEGER PRIMARY KEY,
  session_id INTEGER NOT NULL,
  received_at INTEGER NOT NULL,
  locale TEXT NOT NULL DEFAULT '',
  state_action TEXT NOT NULL,
  state_action_at TEXT NOT NULL
);
-- Where each tester stands with each requirement; a tester without a row
-- here sees the requirement's own status (the seed's starting point). Tester
-- 0 stands for sessions opened without a tester.
CREATE TABLE IF NOT EXISTS requirement_statuses (
  requirement_id INTEGER NOT NULL REFERENCES requirements(id),
  tester_id INTEGER NOT NULL,
  status INTEGER NOT NULL,
  PRIMARY KEY (requirement_id, tester_id)
);
CREATE TABLE IF NOT EXISTS requirement_results (
  id INTEGER PRIMARY KEY,
  session_id INTEGER NOT NULL,
  requirement_id INTEGER NOT NULL REFERENCES requirements(id),
  rid INTEGER NOT NULL,
  status INTEGER NOT NULL,
  previous_status INTEGER NOT NULL,
  received_at INTEGER NOT NULL,
  delivery_id TEXT
);
)SQL";

// The schema version this service writes: a database at an older one is
// brought up to it at start, one at a newer one is refused.
int latestSchemaVersion();

// Creates the tables of a new database or brings an older one up to date,
// SQLite files made before versions were kept included. Several instances
// starting on one database at once upgrade it once. False with *error when
// the store refused, or when the database is newer than this service.
bool prepareSchema(Database& db, std::string* error);

}  // namespace brelvo::service
