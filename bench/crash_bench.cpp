// From the signal to the crash being durable on disk: the handler's own write
// path (slot fill, module walk, one pwrite, fdatasync), beside one plain
// write + fsync of the same number of bytes.
#include "diagnostics/CrashFile.h"

#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include <execinfo.h>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {

struct Setup {
    QTemporaryDir dir;
    std::unique_ptr<brelvo::CrashFile> file = std::make_unique<brelvo::CrashFile>();
    void* frames[brelvo::CrashFile::kMaxFrames];
    int depth = 0;
    std::size_t bytes = 0;

    Setup() {
        depth = ::backtrace(frames, 40);
        brelvo::CrashFile::rememberExecutablePath();
        file->open(dir.filePath("crash.bin"));
        brelvo::CrashFile::Record record = this->record();
        file->write(record);
        // The size of one report, for the baseline.
        const auto entries = brelvo::CrashFile::readComplete(dir.filePath("crash.bin"));
        bytes = 32 + 8 * static_cast<std::size_t>(depth) + 8;
        if (!entries.empty()) {
            for (const auto& m : entries[0].modules) bytes += 10 + static_cast<std::size_t>(m.path.toUtf8().size());
        }
    }
    brelvo::CrashFile::Record record() const {
        brelvo::CrashFile::Record r;
        r.kind = brelvo::CrashFile::Signal;
        r.signal = 11;
        r.frames = frames;
        r.frameCount = depth;
        return r;
    }
};

void BM_CrashFileWrite(benchmark::State& state) {
    Setup setup;
    const brelvo::CrashFile::Record record = setup.record();
    for (auto _ : state) {
        setup.file->rewind();
        benchmark::DoNotOptimize(setup.file->write(record));
    }
    state.counters["bytes"] = static_cast<double>(setup.bytes);
}
BENCHMARK(BM_CrashFileWrite)->Unit(benchmark::kMicrosecond);

void BM_WriteFsyncBaseline(benchmark::State& state) {
    Setup setup;
    const std::string bytes(setup.bytes, 'x');
    const QByteArray path = setup.dir.filePath("baseline.bin").toLocal8Bit();
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    for (auto _ : state) {
        benchmark::DoNotOptimize(::pwrite(fd, bytes.data(), bytes.size(), 0));
        ::fsync(fd);
    }
    ::close(fd);
    state.counters["bytes"] = static_cast<double>(setup.bytes);
}
BENCHMARK(BM_WriteFsyncBaseline)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
