// brelvo-service's request handling without a socket: the input is what a
// client sends on one connection (one or more HTTP requests), read by the
// HTTP parser and dispatched to the routes and the library's methods. Every
// input starts from the same database: the demo seed and one open session
// under the token "fuzz-session", so that the methods behind a session are
// reached too.

#include "FuzzSupport.h"

#include "FileStore.h"
#include "SqliteDatabase.h"
#include "Protocol.h"
#include "Schema.h"
#include "Seed.h"
#include "Server.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace brelvo;
using namespace brelvo::service;

namespace {

// One connection's bytes in; the answers out are dropped.
class InputStream final : public httplib::Stream {
public:
    InputStream(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool is_readable() const override { return offset_ < size_; }
    bool is_writable() const override { return true; }
    ssize_t read(char* ptr, size_t size) override {
        const size_t n = std::min(size, size_ - offset_);
        std::memcpy(ptr, data_ + offset_, n);
        offset_ += n;
        return static_cast<ssize_t>(n);
    }
    ssize_t write(const char*, size_t size) override { return static_cast<ssize_t>(size); }
    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        ip = "127.0.0.1";
        port = 50000;
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        ip = "127.0.0.1";
        port = 8642;
    }
    socket_t socket() const override { return INVALID_SOCKET; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t offset_ = 0;
};

[[noreturn]] void fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "fuzz: %s: %s\n", what, detail.c_str());
    std::abort();
}

// The seeded database every input starts from.
QString templateDatabase() {
    const QString path = fuzz::prepare() + QStringLiteral("/template.sqlite");
    SqliteDatabase db;
    std::string error;
    if (!db.open(path.toStdString(), &error) || !prepareSchema(db, &error)) fail("template database", error);
    QFile seed(QStringLiteral(BRELVO_DEMO_SEED));
    QString seedError;
    if (!seed.open(QIODevice::ReadOnly) || !loadSeed(db, seed.readAll(), &seedError))
        fail("demo seed", seedError.toStdString());
    if (!db.run("INSERT INTO sessions (token, project_id, revision_id, tester_id, created_at)"
                " SELECT 'fuzz-session', a.project_id, r.id, NULL, 0 FROM revisions r JOIN apps a ON a.id = r.app_id"
                " ORDER BY r.id LIMIT 1") ||
        !db.script("PRAGMA wal_checkpoint(TRUNCATE);"))
        fail("template session", db.lastError());
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const QString pristine = templateDatabase();
    const QString home = fuzz::prepare();
    const QString dbPath = home + QStringLiteral("/service.sqlite");
    const QString filesDir = home + QStringLiteral("/service-files");
    for (const char* suffix : {"", "-wal", "-shm"}) QFile::remove(dbPath + QLatin1String(suffix));
    if (!QFile::copy(pristine, dbPath)) fail("copy of the template database", dbPath.toStdString());
    QDir().mkpath(filesDir);
    {
        SqliteDatabase db;
        std::string error;
        if (!db.open(dbPath.toStdString(), &error)) fail("database", error);
        FolderFiles files(filesDir);
        Protocol protocol(db, files);
        Server server(db, protocol, ServerOptions{.maxBodyBytes = 1 << 20});
        // A delay fault set through the admin endpoint would sleep for up to
        // two minutes; a stopped server skips the wait.
        server.stop();
        InputStream stream(data, size);
        server.serve(stream);
    }
    QDir(filesDir).removeRecursively();
    return 0;
}
