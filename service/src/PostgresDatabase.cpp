#include "PostgresDatabase.h"

#include <libpq-fe.h>

#include <QByteArrayView>
#include <QRegularExpression>
#include <QString>
#include <QUtf8StringView>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <span>

namespace brelvo::service {
namespace {

// Connections each instance opens at most: one per HTTP worker thread.
constexpr int kPoolSize = 8;
// How long a request waits for a free connection before it fails.
constexpr auto kPoolWait = std::chrono::seconds(30);
// Every write transaction takes this lock first, so that transactions on
// several instances follow one another as they do on one SQLite file (a
// result's previous status, a new requirement's rid read and written in one).
constexpr const char* kWriteLock = "SELECT pg_advisory_xact_lock(7420157)";

// Type identifiers of PostgreSQL's built-in types (pg_type.dat).
enum : Oid { kBool = 16, kBytea = 17, kInt8 = 20, kInt2 = 21, kInt4 = 23, kOid = 26, kFloat4 = 700, kFloat8 = 701,
             kNumeric = 1700 };

// Text goes to PostgreSQL as valid UTF-8 without NUL characters, which it
// cannot store in text; a device may send either. Such text keeps what can
// be kept, with U+FFFD in place of the rest, rather than failing the request
// again on every retry.
std::string storableText(const std::string& s) {
  if (s.find('\0') == std::string::npos && QUtf8StringView(s).isValidUtf8()) return s;
  QString text = QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
  text.replace(QChar(u'\0'), QChar(0xFFFD));
  return text.toStdString();
}

DbValue valueOf(const PGresult* result, int row, int column) {
  if (PQgetisnull(result, row, column)) return std::monostate{};
  const char* text = PQgetvalue(result, row, column);
  const int length = PQgetlength(result, row, column);
  switch (PQftype(result, column)) {
    case kInt8:
    case kInt2:
    case kInt4:
    case kOid:
      return static_cast<std::int64_t>(std::strtoll(text, nullptr, 10));
    case kFloat4:
    case kFloat8:
      return std::strtod(text, nullptr);
    case kNumeric: {
      // SUM() of integers: integral unless it has a point or an exponent.
      const std::string s(text, static_cast<std::size_t>(length));
      if (s.find_first_of(".eE") == std::string::npos) return static_cast<std::int64_t>(std::strtoll(text, nullptr, 10));
      return std::strtod(text, nullptr);
    }
    case kBool:
      return static_cast<std::int64_t>(text[0] == 't');
    case kBytea: {
      std::size_t size = 0;
      unsigned char* bytes = PQunescapeBytea(reinterpret_cast<const unsigned char*>(text), &size);
      DbBlob blob{bytes ? std::string(reinterpret_cast<const char*>(bytes), size) : std::string()};
      PQfreemem(bytes);
      return blob;
    }
    default:
      return std::string(text, static_cast<std::size_t>(length));
  }
}

// The server's message, one line.
std::string messageOf(const PGconn* conn, const PGresult* result) {
  std::string m = result ? PQresultErrorMessage(result) : "";
  if (m.empty() && conn) m = PQerrorMessage(conn);
  while (!m.empty() && (m.back() == '\n' || m.back() == ' ')) m.pop_back();
  for (char& c : m) {
    if (c == '\n') c = ' ';
  }
  return m.empty() ? "unknown PostgreSQL error" : m;
}

}  // namespace

PostgresDatabase::PostgresDatabase(std::string address) : address_(std::move(address)) {}

PostgresDatabase::~PostgresDatabase() {
  for (PGconn* conn : idle_) PQfinish(conn);
}

std::unique_ptr<Database> PostgresDatabase::open(const std::string& address, std::string* error) {
  std::unique_ptr<PostgresDatabase> db(new PostgresDatabase(address));
  PGconn* first = db->connect(error);
  if (!first) return nullptr;
  db->connections_ = 1;
  db->giveBack(first);
  return db;
}

PGconn* PostgresDatabase::connect(std::string* error) {
  // A server that does not answer must not hold a request for minutes.
  static const char* const keys[] = {"dbname", "connect_timeout", "application_name", nullptr};
  const char* const values[] = {address_.c_str(), "5", "brelvo-service", nullptr};
  PGconn* conn = PQconnectdbParams(keys, values, /*expand_dbname=*/1);
  if (!conn || PQstatus(conn) != CONNECTION_OK) {
    if (error) *error = messageOf(conn, nullptr);
    PQfinish(conn);
    return nullptr;
  }
  // "relation already exists, skipping" and the like are not worth a line.
  PQsetNoticeProcessor(conn, [](void*, const char*) {}, nullptr);
  // The service's statements are small: compiling one costs more than it
  // saves (30 ms of a 40 ms dashboard query whose row estimate was high).
  PQclear(PQexec(conn, "SET jit = off"));
  return conn;
}

PGconn* PostgresDatabase::borrow(std::string* error) {
  std::unique_lock lock(mutex_);
  const auto until = std::chrono::steady_clock::now() + kPoolWait;
  for (;;) {
    if (!idle_.empty()) {
      PGconn* conn = idle_.back();
      idle_.pop_back();
      // Reading what waits on an idle connection shows whether the server
      // closed it since it was last used.
      if (PQconsumeInput(conn) && PQstatus(conn) == CONNECTION_OK) return conn;
      PQfinish(conn);
      --connections_;
      continue;
    }
    if (connections_ < kPoolSize) {
      ++connections_;
      lock.unlock();
      PGconn* conn = connect(error);
      if (conn) return conn;
      lock.lock();
      --connections_;
      available_.notify_one();
      return nullptr;
    }
    if (available_.wait_until(lock, until) == std::cv_status::timeout && idle_.empty() && connections_ >= kPoolSize) {
      if (error) *error = "every database connection of this instance stayed busy";
      return nullptr;
    }
  }
}

void PostgresDatabase::giveBack(PGconn* conn) {
  std::lock_guard lock(mutex_);
  if (PQstatus(conn) == CONNECTION_OK && PQtransactionStatus(conn) == PQTRANS_IDLE) {
    idle_.push_back(conn);
  } else {
    PQfinish(conn);
    --connections_;
  }
  available_.notify_one();
}

void PostgresDatabase::dropIdle() {
  std::lock_guard lock(mutex_);
  for (PGconn* conn : idle_) PQfinish(conn);
  connections_ -= static_cast<int>(idle_.size());
  idle_.clear();
  available_.notify_all();
}

PGconn* PostgresDatabase::boundConnection() {
  std::lock_guard lock(mutex_);
  auto it = bound_.find(std::this_thread::get_id());
  return it == bound_.end() ? nullptr : it->second;
}

void PostgresDatabase::reportReachable(bool reachable, const std::string& why) {
  // One line when the database goes away and one when it is back, not one per request.
  if (unreachable_.exchange(!reachable) == !reachable) return;
  if (reachable) {
    std::fprintf(stderr, "brelvo-service: the database is reachable again\n");
  } else {
    std::fprintf(stderr, "brelvo-service: lost the database (%s); requests fail until it is back\n", why.c_str());
  }
}

std::string PostgresDatabase::translate(const std::string& sql) {
  std::string out;
  out.reserve(sql.size());
  bool quoted = false;
  for (std::size_t i = 0; i < sql.size(); ++i) {
    const char c = sql[i];
    if (c == '\'') quoted = !quoted;
    const bool parameter = !quoted && c == '?' && i + 1 < sql.size() && sql[i + 1] >= '0' && sql[i + 1] <= '9';
    out += parameter ? '$' : c;
  }
  return out;
}

std::string PostgresDatabase::translateSchema(const std::string& sql) {
  QString s = QString::fromStdString(sql);
  s.replace(QRegularExpression(QStringLiteral("\\bINTEGER PRIMARY KEY\\b")),
            QStringLiteral("BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY"));
  s.replace(QRegularExpression(QStringLiteral("\\bINTEGER\\b")), QStringLiteral("BIGINT"));
  s.replace(QRegularExpression(QStringLiteral("\\bBLOB\\b")), QStringLiteral("BYTEA"));
  return s.toStdString();
}

std::optional<DbRows> PostgresDatabase::runOn(PGconn* conn, const std::string& sql, const DbValue* params,
                                              std::size_t count, bool multiple) {
  PGresult* result = nullptr;
  if (multiple) {
    result = PQexec(conn, sql.c_str());
  } else {
    std::vector<std::string> texts(count);
    std::vector<const char*> values(count, nullptr);
    std::vector<Oid> types(count, 0);
    std::vector<int> lengths(count, 0);
    std::vector<int> formats(count, 0);
    std::size_t i = 0;
    for (const DbValue& p : std::span(params, count)) {
      if (auto n = std::get_if<std::int64_t>(&p)) {
        texts[i] = std::to_string(*n);
        types[i] = kInt8;
      } else if (auto d = std::get_if<double>(&p)) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.17g", *d);
        texts[i] = buffer;
        types[i] = kFloat8;
      } else if (auto s = std::get_if<std::string>(&p)) {
        texts[i] = storableText(*s);  // its type follows from where it is used
      } else if (auto b = std::get_if<DbBlob>(&p)) {
        values[i] = b->bytes.data();
        lengths[i] = static_cast<int>(b->bytes.size());
        formats[i] = 1;
        types[i] = kBytea;
      }
      if (!std::holds_alternative<std::monostate>(p) && !std::holds_alternative<DbBlob>(p)) values[i] = texts[i].c_str();
      ++i;
    }
    const std::string statement = translate(sql);
    result = PQexecParams(conn, statement.c_str(), static_cast<int>(count), types.data(), values.data(), lengths.data(),
                          formats.data(), 0);
  }
  const ExecStatusType status = PQresultStatus(result);
  if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
    setLastError(messageOf(conn, result));
    PQclear(result);
    return std::nullopt;
  }
  DbRows rows;
  const int rowCount = PQntuples(result), columns = PQnfields(result);
  rows.reserve(static_cast<std::size_t>(rowCount));
  for (int r = 0; r < rowCount; ++r) {
    DbRow row;
    row.values.reserve(static_cast<std::size_t>(columns));
    for (int c = 0; c < columns; ++c) row.values.push_back(valueOf(result, r, c));
    rows.push_back(std::move(row));
  }
  PQclear(result);
  return rows;
}

std::optional<DbRows> PostgresDatabase::run(const std::string& sql, const DbValue* params, std::size_t count,
                                            bool multiple) {
  if (PGconn* tx = boundConnection()) return runOn(tx, sql, params, count, multiple);
  for (int attempt = 0;; ++attempt) {
    std::string error;
    PGconn* conn = borrow(&error);
    if (!conn) {
      setLastError(error);
      reportReachable(false, error);
      return std::nullopt;
    }
    std::optional<DbRows> rows = runOn(conn, sql, params, count, multiple);
    const bool lost = PQstatus(conn) != CONNECTION_OK;
    giveBack(conn);
    if (lost) dropIdle();
    if (!lost) {
      reportReachable(true, {});
      return rows;
    }
    if (attempt == 1) {
      reportReachable(false, lastError());
      return std::nullopt;
    }
  }
}

std::optional<DbRows> PostgresDatabase::execute(const std::string& sql, const DbValue* params, std::size_t count) {
  return run(sql, params, count, false);
}

bool PostgresDatabase::script(const std::string& sql) { return run(sql, nullptr, 0, true).has_value(); }

bool PostgresDatabase::begin(TransactionKind kind) {
  const std::string statement = kind == TransactionKind::Write
                                    ? std::string("BEGIN; ") + kWriteLock
                                    : "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY";
  for (int attempt = 0; attempt < 2; ++attempt) {
    std::string error;
    PGconn* conn = borrow(&error);
    if (!conn) {
      setLastError(error);
      reportReachable(false, error);
      return false;
    }
    if (runOn(conn, statement, nullptr, 0, true)) {
      reportReachable(true, {});
      std::lock_guard lock(mutex_);
      bound_[std::this_thread::get_id()] = conn;
      return true;
    }
    const bool lost = PQstatus(conn) != CONNECTION_OK;
    if (!lost) PQclear(PQexec(conn, "ROLLBACK"));
    giveBack(conn);
    if (!lost) return false;
    dropIdle();
    reportReachable(false, lastError());
  }
  return false;
}

bool PostgresDatabase::end(bool commit) {
  PGconn* conn = nullptr;
  {
    std::lock_guard lock(mutex_);
    auto it = bound_.find(std::this_thread::get_id());
    if (it == bound_.end()) return false;
    conn = it->second;
    bound_.erase(it);
  }
  PGresult* result = PQexec(conn, commit ? "COMMIT" : "ROLLBACK");
  const bool done = PQresultStatus(result) == PGRES_COMMAND_OK;
  // COMMIT of a transaction in which a statement failed answers ROLLBACK.
  const bool ok = done && commit && std::string(PQcmdStatus(result)) == "COMMIT";
  if (commit && !ok) setLastError(done ? "the transaction was rolled back after an error" : messageOf(conn, result));
  PQclear(result);
  if (PQstatus(conn) != CONNECTION_OK) reportReachable(false, lastError());
  giveBack(conn);
  return ok;
}

}  // namespace brelvo::service
