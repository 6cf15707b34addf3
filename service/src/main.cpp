// brelvo-service: the reference testing service the Brelvo library talks to.

#include "Database.h"
#include "FileStore.h"
#include "Protocol.h"
#include "Records.h"
#include "Schema.h"
#include "Seed.h"
#include "Server.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <chrono>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pthread.h>
#include <set>
#include <string>
#include <unistd.h>
#include <thread>

using namespace brelvo::service;

namespace {

void usage(FILE* out) {
  std::fprintf(out,
               "usage: brelvo-service [--host ADDR] [--port N] [--db DB] [--seed FILE] [--files DIR] [--max-body BYTES]\n"
               "                     [--request-time SECONDS] [--max-client-connections N]\n"
               "       brelvo-service --db DB --summary\n"
               "       brelvo-service --db DB [--seed FILE] --add-app APP_ID VERSION [--project-key KEY]\n"
               "  --host      address to listen on (default 127.0.0.1)\n"
               "  --port      port (default 8642; 0 picks a free one)\n"
               "  --db        SQLite database, created when missing in an existing folder (default brelvo-service.sqlite),\n"
               "              or a PostgreSQL database as postgresql://USER@HOST:PORT/NAME, which several instances\n"
               "              may share\n"
               "  --seed      JSON seed loaded at start (projects, apps, testers, requirements)\n"
               "  --files     folder for attachments and crash logs (default: beside an SQLite database; in a\n"
               "              PostgreSQL database itself, unless a folder every instance shares is given)\n"
               "  --max-body  largest accepted request body (default 67108864)\n"
               "  --request-time  seconds for a whole request (headers and body) to arrive (default 5)\n"
               "  --max-client-connections  connections served at once per client address (default 16)\n"
               "  --summary   print what the database holds and exit\n"
               "  --add-app   let a build sign in: APP_ID is the application's desktop file name (else its\n"
               "              organisation domain, a dot and its name), VERSION its version; added to the\n"
               "              project with the API key, or to the only project; prints the key and exits\n"
               "  --project-key  the API key of the project --add-app adds to\n");
}

bool parseInt(const char* text, long long low, long long high, long long* out) {
  char* end = nullptr;
  errno = 0;
  long long v = std::strtoll(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || v < low || v > high) return false;
  *out = v;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  ServerOptions options;
  QString dbPath = QStringLiteral("brelvo-service.sqlite");
  QString seedPath, filesDir;
  bool summary = false;
  QString addAppId, addAppVersion, projectKey;

  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      usage(stdout);
      return 0;
    }
    if (arg == "--summary") {
      summary = true;
      continue;
    }
    if (arg == "--add-app") {
      if (i + 2 >= argc) {
        std::fprintf(stderr, "brelvo-service: --add-app needs an application identifier and a version\n");
        return 2;
      }
      addAppId = QString::fromLocal8Bit(argv[++i]);
      addAppVersion = QString::fromLocal8Bit(argv[++i]);
      continue;
    }
    static const std::set<std::string> withValue{"--port", "--host", "--db", "--seed", "--project-key", "--files",
                                                 "--max-body", "--request-time", "--max-client-connections"};
    if (!withValue.count(arg)) {
      std::fprintf(stderr, "brelvo-service: unknown option %s\n", arg.c_str());
      usage(stderr);
      return 2;
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "brelvo-service: %s needs a value\n", arg.c_str());
      usage(stderr);
      return 2;
    }
    const char* value = argv[++i];
    long long n = 0;
    if (arg == "--port") {
      if (!parseInt(value, 0, 65535, &n)) {
        std::fprintf(stderr, "brelvo-service: bad port \"%s\"\n", value);
        return 2;
      }
      options.port = static_cast<int>(n);
    } else if (arg == "--host") {
      options.host = value;
    } else if (arg == "--db") {
      dbPath = QString::fromLocal8Bit(value);
    } else if (arg == "--seed") {
      seedPath = QString::fromLocal8Bit(value);
    } else if (arg == "--project-key") {
      projectKey = QString::fromLocal8Bit(value);
    } else if (arg == "--files") {
      filesDir = QString::fromLocal8Bit(value);
    } else if (arg == "--max-body") {
      if (!parseInt(value, 1024, (1LL << 40), &n)) {
        std::fprintf(stderr, "brelvo-service: bad body limit \"%s\"\n", value);
        return 2;
      }
      options.maxBodyBytes = static_cast<std::size_t>(n);
    } else if (arg == "--request-time") {
      if (!parseInt(value, 1, 3600, &n)) {
        std::fprintf(stderr, "brelvo-service: bad request time \"%s\"\n", value);
        return 2;
      }
      options.requestTime = std::chrono::seconds(n);
    } else if (arg == "--max-client-connections") {
      if (!parseInt(value, 1, 1000, &n)) {
        std::fprintf(stderr, "brelvo-service: bad connection count \"%s\"\n", value);
        return 2;
      }
      options.connectionsPerClient = static_cast<int>(n);
    }
  }

  const bool postgres = Database::isPostgresAddress(dbPath.toStdString());
  // The address may hold a password: messages name the database without it.
  const QString dbName = postgres ? QStringLiteral("the PostgreSQL database") : dbPath;
  QFileInfo dbInfo(dbPath);
  if (summary) {
    // Reads an existing database only; a typo in the name must not make an empty one.
    if (!postgres && !dbInfo.isFile()) {
      std::fprintf(stderr, "brelvo-service: no database at %s\n", qPrintable(dbPath));
      return 1;
    }
    std::string error;
    std::unique_ptr<Database> db = Database::open(dbPath.toStdString(), &error);
    if (!db) {
      std::fprintf(stderr, "brelvo-service: cannot open %s: %s\n", qPrintable(dbName), error.c_str());
      return 1;
    }
    std::fputs(recordsSummary(*db).toUtf8().constData(), stdout);
    return 0;
  }
  if (!postgres) {
    // A mistyped folder must not silently become a new, empty service.
    if (!dbInfo.absoluteDir().exists()) {
      std::fprintf(stderr, "brelvo-service: no folder %s for the database\n", qPrintable(dbInfo.absolutePath()));
      return 1;
    }
    if (access(QFile::encodeName(dbInfo.absolutePath()).constData(), W_OK) != 0) {
      std::fprintf(stderr, "brelvo-service: cannot write in %s: %s\n", qPrintable(dbInfo.absolutePath()),
                   std::strerror(errno));
      return 1;
    }
    if (filesDir.isEmpty()) filesDir = dbInfo.absoluteDir().filePath(dbInfo.completeBaseName() + QStringLiteral("-files"));
  }
  if (!filesDir.isEmpty()) {
    if (!QDir().mkpath(filesDir)) {
      std::fprintf(stderr, "brelvo-service: cannot create %s\n", qPrintable(filesDir));
      return 1;
    }
    filesDir = QDir(filesDir).absolutePath();
  }

  std::string error;
  std::unique_ptr<Database> opened = Database::open(dbPath.toStdString(), &error);
  if (!opened || !prepareSchema(*opened, &error)) {
    std::fprintf(stderr, "brelvo-service: cannot open %s: %s\n", qPrintable(dbName), error.c_str());
    return 1;
  }
  Database& db = *opened;
  if (!seedPath.isEmpty()) {
    QFile seed(seedPath);
    if (!seed.open(QIODevice::ReadOnly)) {
      std::fprintf(stderr, "brelvo-service: cannot read %s\n", qPrintable(seedPath));
      return 1;
    }
    QString seedError;
    if (!loadSeed(db, seed.readAll(), &seedError)) {
      std::fprintf(stderr, "brelvo-service: bad seed %s: %s\n", qPrintable(seedPath), qPrintable(seedError));
      return 1;
    }
  }

  if (!addAppId.isNull()) {
    QString message;
    const bool added = addApp(db, projectKey, addAppId, addAppVersion, &message);
    std::fprintf(added ? stdout : stderr, "brelvo-service: %s\n", qPrintable(message));
    return added ? 0 : 1;
  }

  // Signals go to one thread that waits for them, so that stopping the server
  // happens outside a signal handler. Threads started later inherit the mask.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);  // a client that went away must not end the service

  std::unique_ptr<FileStore> files;
  if (filesDir.isEmpty()) {
    files = std::make_unique<DatabaseFiles>(db);
  } else {
    files = std::make_unique<FolderFiles>(filesDir);
  }
  Protocol protocol(db, *files);
  Server server(db, protocol, options);
  int port = server.bind();
  if (port < 0) {
    std::fprintf(stderr, "brelvo-service: cannot listen on %s:%d\n", options.host.c_str(), options.port);
    return 1;
  }

  std::thread waiter([&server, stopSignals] {
    int signal = 0;
    sigwait(&stopSignals, &signal);
    server.stop();
  });

  std::printf("listening on %s:%d\n", options.host.c_str(), port);
  std::fflush(stdout);
  bool served = server.run();

  // Served to the end without a signal (listen failed): release the waiter.
  pthread_kill(waiter.native_handle(), SIGTERM);
  waiter.join();
  std::fprintf(stderr, "brelvo-service: stopped\n");
  return served ? 0 : 1;
}
