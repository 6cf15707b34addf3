// Screenshot capture on the GUI thread, at scale 2: the window capture of a
// phone-sized host window with a list and the library's layer above it, and
// the PNG encoding of the result with the library's encoder beside
// QImage::save's default PNG encoding of the same image.
#include "platform/PngEncoder.h"
#include "platform/Screen.h"
#include "platform/WindowLayer.h"
#include "ui/editor/ScreenshotMakerBrelvo.h"

#include <QApplication>
#include <QBuffer>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

#include <benchmark/benchmark.h>

namespace {

QWidget* host() {
    static QWidget* window = [] {
        auto* w = new QWidget;
        w->resize(390, 844);
        auto* layout = new QVBoxLayout(w);
        layout->addWidget(new QLabel(QStringLiteral("Notes")));
        auto* list = new QListWidget;
        for (int i = 0; i < 40; ++i) list->addItem(QStringLiteral("Note %1: shopping, ideas and a longer line of text").arg(i));
        layout->addWidget(list);
        w->show();
        brelvo::screen::setWindow(w);
        auto* layer = new brelvo::WindowLayer(QRect(300, 700, 80, 80), w);
        auto* badge = new QLabel(QStringLiteral("B"), layer);
        badge->setGeometry(0, 0, 80, 80);
        badge->setStyleSheet(QStringLiteral("background: #2f7bf5; color: white; border-radius: 40px;"));
        layer->show();
        QApplication::processEvents();
        return w;
    }();
    return window;
}

void Capture_Windows(benchmark::State& state) {
    host();
    for (auto _ : state) benchmark::DoNotOptimize(brelvo::ScreenshotMakerBrelvo::shared().screenshotForNonOpenGL());
}
BENCHMARK(Capture_Windows)->Unit(benchmark::kMillisecond);

void Capture_Whole(benchmark::State& state) {
    QWidget* view = host();
    for (auto _ : state) benchmark::DoNotOptimize(brelvo::ScreenshotMakerBrelvo::shared().screenshotMaking(view));
}
BENCHMARK(Capture_Whole)->Unit(benchmark::kMillisecond);

void Png_LibraryEncoder(benchmark::State& state) {
    host();
    const QImage shot = brelvo::ScreenshotMakerBrelvo::shared().screenshotForNonOpenGL();
    qint64 bytes = 0;
    for (auto _ : state) bytes = brelvo::png::encode(shot).size();
    state.counters["bytes"] = double(bytes);
}
BENCHMARK(Png_LibraryEncoder)->Unit(benchmark::kMillisecond);

void Png_Baseline_QImageSave(benchmark::State& state) {
    host();
    const QImage shot = brelvo::ScreenshotMakerBrelvo::shared().screenshotForNonOpenGL();
    qint64 bytes = 0;
    for (auto _ : state) {
        QByteArray out;
        QBuffer buffer(&out);
        buffer.open(QIODevice::WriteOnly);
        shot.save(&buffer, "PNG");
        bytes = out.size();
    }
    state.counters["bytes"] = double(bytes);
}
BENCHMARK(Png_Baseline_QImageSave)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!qEnvironmentVariableIsSet("QT_SCALE_FACTOR")) qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
