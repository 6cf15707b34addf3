// Logging from eight threads at once through the facade, beside the floor of
// appending the same entries to a std::vector under one std::mutex, bounded
// like the library's queue: when it holds as many entries, the full vector is
// swapped out and dropped outside the lock (counted as "dropped"), where the
// library hands it to its writer. Each run then counts what the queue (memory
// and the batches moved to disk past the memory bound) holds: "lost" must be 0.
#include <brelvo/Brelvo.h>

#include "diagnostics/LogHelper.h"
#include "diagnostics/StoredLogBatches.h"
#include "platform/Defaults.h"

#include <QDateTime>
#include <QDir>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QVariantMap>

#include <benchmark/benchmark.h>

#include <atomic>
#include <mutex>
#include <vector>

namespace {

const QString kArrayKey = QString::fromLatin1(brelvo::LogHelper::kLogsArrayKey);

void clearQueues() {
    brelvo::LogHelper::shared().takeQueued();
    brelvo::Defaults::standard().removeObject(kArrayKey);
    brelvo::Defaults::standard().synchronize();
    QDir(brelvo::StoredLogBatches::folder()).removeRecursively();
}

qint64 heldEntries() {
    brelvo::LogHelper::shared().flushSpilled();
    qint64 n = brelvo::LogHelper::shared().queuedCount();
    for (const QVariant& b : brelvo::LogHelper::storedBatches()) {
        const QByteArray joined = "[" + b.toMap().value(QStringLiteral("logs")).toString().toUtf8() + "]";
        n += QJsonDocument::fromJson(joined).array().size();
    }
    return n;
}

const QString& line() {
    static const QString text = QStringLiteral("note saved: 184 characters, 3 attachments");
    return text;
}

void Facade_BVLog(benchmark::State& state) {
    if (state.thread_index() == 0) clearQueues();
    for (auto _ : state) brelvo::Brelvo::shared().BVLog(line(), 2);
    state.SetItemsProcessed(state.iterations());
    if (state.thread_index() == 0) {
        const qint64 expected = qint64(state.iterations()) * state.threads();
        state.counters["lost"] = double(expected - heldEntries());
    }
}

std::mutex vectorMutex;
std::vector<QVariantMap> vectorQueue;
std::atomic<qint64> vectorDropped{0};

void Baseline_MutexVector(benchmark::State& state) {
    if (state.thread_index() == 0) {
        vectorQueue.clear();
        vectorDropped = 0;
    }
    for (auto _ : state) {
        // The same entry as the facade builds.
        QVariantMap entry{{QStringLiteral("log"), line()},
                          {QStringLiteral("ts"), QDateTime::currentSecsSinceEpoch()},
                          {QStringLiteral("token"), QString()},
                          {QStringLiteral("level"), QStringLiteral("info")}};
        std::vector<QVariantMap> full;
        {
            std::lock_guard<std::mutex> lock(vectorMutex);
            vectorQueue.push_back(std::move(entry));
            if (vectorQueue.size() >= brelvo::LogHelper::kMaxQueuedEntries) full.swap(vectorQueue);
        }
        vectorDropped += qint64(full.size());
    }
    state.SetItemsProcessed(state.iterations());
    if (state.thread_index() == 0) {
        const qint64 expected = qint64(state.iterations()) * state.threads();
        std::lock_guard<std::mutex> lock(vectorMutex);
        state.counters["dropped"] = double(vectorDropped);
        state.counters["lost"] = double(expected - qint64(vectorQueue.size()) - vectorDropped);
    }
}

// Within the memory bound (8 × 1200 entries): the in-memory path alone.
BENCHMARK(Facade_BVLog)->Name("Facade_BVLog_InMemory")->Threads(8)->UseRealTime()->Iterations(1200)->Repetitions(20)->ReportAggregatesOnly(true);
BENCHMARK(Baseline_MutexVector)->Name("Baseline_MutexVector_Same")->Threads(8)->UseRealTime()->Iterations(1200)->Repetitions(20)->ReportAggregatesOnly(true);
// Long runs: past the bound the queue moves to the stored batches on disk.
BENCHMARK(Facade_BVLog)->Threads(8)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(Baseline_MutexVector)->Threads(8)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/brelvo-bench-XXXXXX"));
    qputenv("BRELVO_HOME", home.path().toUtf8());
    QGuiApplication app(argc, argv);
    brelvo::Brelvo::shared();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
