// The defaults store against the plain-file floor: each case is measured
// beside writing (fsync) or reading the same bytes as one ordinary file in
// the same folder, so the figures say what the store adds.
#include "platform/Defaults.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>

namespace {

QTemporaryDir& folder() {
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/brelvo-bench-XXXXXX"));
    return dir;
}

QString pathOf(const char* name) {
    return folder().filePath(QString::fromLatin1(name));
}

QByteArray payload(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 2654435761u) >> 13);
    return bytes;
}

// The store under test: created on first use, closed at exit.
brelvo::Defaults& store() {
    static auto* s = new brelvo::Defaults(pathOf("bench.sqlite"));
    return *s;
}

void writeFileSynced(const QString& path, const QByteArray& bytes) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) std::abort();
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n <= 0) std::abort();
        done += n;
    }
    ::fsync(fd);
    ::close(fd);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) std::abort();
    return f.readAll();
}

void StoreSetAndSynchronize(benchmark::State& state) {
    const QByteArray bytes = payload(state.range(0));
    const QString key = QStringLiteral("value-%1").arg(state.range(0));
    int round = 0;
    for (auto _ : state) {
        QByteArray changed = bytes;
        changed[0] = static_cast<char>(++round);  // a new value each time, as in use
        store().setObject(changed, key);
        if (!store().synchronize()) state.SkipWithError("synchronize failed");
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BaselineFileWriteFsync(benchmark::State& state) {
    const QByteArray bytes = payload(state.range(0));
    const QString path = pathOf("baseline.bin");
    for (auto _ : state) writeFileSynced(path, bytes);
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

// Cold: a store opened afresh for each read (open, integrity check, select, decode).
void StoreReadCold(benchmark::State& state) {
    const QString key = QStringLiteral("value-%1").arg(state.range(0));
    store().setObject(payload(state.range(0)), key);
    store().synchronize();
    for (auto _ : state) {
        brelvo::Defaults fresh(pathOf("bench.sqlite"));
        const QVariant v = fresh.object(key);
        if (v.toByteArray().size() != state.range(0)) state.SkipWithError("value missing");
        benchmark::DoNotOptimize(v);
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

// Warm: the value is already in the store's memory.
void StoreReadWarm(benchmark::State& state) {
    const QString key = QStringLiteral("value-%1").arg(state.range(0));
    store().setObject(payload(state.range(0)), key);
    store().synchronize();
    for (auto _ : state) {
        const QByteArray v = store().object(key).toByteArray();
        benchmark::DoNotOptimize(v.constData());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BaselineFileRead(benchmark::State& state) {
    const QString path = pathOf("baseline-read.bin");
    writeFileSynced(path, payload(state.range(0)));
    for (auto _ : state) {
        const QByteArray v = readFile(path);
        benchmark::DoNotOptimize(v.constData());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

constexpr int64_t kSmall = 1024;
constexpr int64_t kLarge = 20 * 1024 * 1024;

BENCHMARK(StoreSetAndSynchronize)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BaselineFileWriteFsync)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(StoreReadCold)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(StoreReadWarm)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BaselineFileRead)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (!folder().isValid()) return 2;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete &store();
    return 0;
}
