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
#include <utility>

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

// Two values of the given size that differ, so that each write stores a new
// value, as in use, without copying bytes inside the timed loop.
std::pair<QVariant, QVariant> twoValues(qsizetype size) {
    QByteArray first = payload(size), second = first;
    second[0] = static_cast<char>(~second[0]);
    return {QVariant(first), QVariant(second)};
}

// Writes the bytes over the file as an application saving it would: open,
// write, fsync, close. The file already has its size, so no blocks are freed
// and allocated again.
void writeFileSynced(const QString& path, const QByteArray& bytes) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT, 0644);
    if (fd < 0) std::abort();
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n <= 0) std::abort();
        done += n;
    }
    if (::fsync(fd) != 0) std::abort();
    ::close(fd);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) std::abort();
    return f.readAll();
}

void StoreSetAndSynchronize(benchmark::State& state) {
    const auto [first, second] = twoValues(state.range(0));
    const QString key = QStringLiteral("value-%1").arg(state.range(0));
    brelvo::Defaults store(pathOf("write.sqlite"));
    bool odd = false;
    for (auto _ : state) {
        store.setObject((odd = !odd) ? first : second, key);
        if (!store.synchronize()) state.SkipWithError("synchronize failed");
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BaselineFileWriteFsync(benchmark::State& state) {
    const auto [first, second] = twoValues(state.range(0));
    const QString path = pathOf("baseline-write.bin");
    writeFileSynced(path, first.toByteArray());
    bool odd = false;
    for (auto _ : state) writeFileSynced(path, ((odd = !odd) ? second : first).toByteArray());
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

// An application's first read: a store opened afresh, one 1 KB value read,
// the store closed. The argument is how much else the store holds, which the
// open must not have to read.
void StoreOpenAndRead1K(benchmark::State& state) {
    const QString path = folder().filePath(QStringLiteral("read-%1.sqlite").arg(state.range(0)));
    {
        brelvo::Defaults seed(path);
        seed.setObject(payload(1024), QStringLiteral("small"));
        if (state.range(0) > 0) seed.setObject(payload(state.range(0)), QStringLiteral("large"));
        if (!seed.synchronize()) state.SkipWithError("synchronize failed");
    }  // closed cleanly, as an application that ended normally leaves it
    for (auto _ : state) {
        brelvo::Defaults fresh(path);
        const QVariant v = fresh.object(QStringLiteral("small"));
        if (v.toByteArray().size() != 1024) state.SkipWithError("value missing");
        benchmark::DoNotOptimize(v);
    }
}

void BaselineFileRead1K(benchmark::State& state) {
    const QString path = pathOf("baseline-read.bin");
    writeFileSynced(path, payload(1024));
    for (auto _ : state) {
        const QByteArray v = readFile(path);
        benchmark::DoNotOptimize(v.constData());
    }
}

constexpr int64_t kSmall = 1024;
constexpr int64_t kLarge = 20 * 1024 * 1024;

BENCHMARK(StoreSetAndSynchronize)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BaselineFileWriteFsync)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(StoreOpenAndRead1K)->Arg(0)->Arg(kLarge)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BaselineFileRead1K)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (!folder().isValid()) return 2;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
