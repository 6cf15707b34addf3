// Screenshot capture on the GUI thread, at scale 2: the window capture of a
// 1080 x 2340 pixel host window with a list and the library's overlay with its
// floating buttons above it; the screenshot action's part on the GUI thread
// (buttons hidden, capture, buttons back) beside QWidget::grab of the same
// host; and the PNG encoding of the result, which runs on the pool, with the
// library's encoder beside QImage::save's default PNG encoding.
#include "platform/PngEncoder.h"
#include "platform/Screen.h"
#include "platform/WindowLayer.h"
#include "ui/editor/ScreenshotMakerBrelvo.h"
#include "ui/session/BrelvoWindow.h"
#include "ui/session/OverlayControl.h"

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
        w->resize(540, 1170);
        auto* layout = new QVBoxLayout(w);
        layout->addWidget(new QLabel(QStringLiteral("Notes")));
        auto* list = new QListWidget;
        for (int i = 0; i < 40; ++i) list->addItem(QStringLiteral("Note %1: shopping, ideas and a longer line of text").arg(i));
        layout->addWidget(list);
        w->show();
        brelvo::screen::setWindow(w);
        // The overlay at rest: one width aside, its buttons at the screen's edge.
        auto* overlay = new brelvo::BrelvoWindow(QRect(-540, 0, 540, 1170), w);
        overlay->show();
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

// What the screenshot action does on the GUI thread before the picture goes
// to the pool for encoding.
void ScreenshotAction_GuiThread(benchmark::State& state) {
    QWidget* view = host();
    for (auto _ : state) {
        brelvo::overlay::hideMenuSlider();
        benchmark::DoNotOptimize(brelvo::ScreenshotMakerBrelvo::shared().screenshotMaking(view));
        brelvo::overlay::showMenuSlider();
        QApplication::processEvents();  // the buttons come back
    }
}
BENCHMARK(ScreenshotAction_GuiThread)->Unit(benchmark::kMillisecond);

void ScreenshotAction_Baseline_QWidgetGrab(benchmark::State& state) {
    QWidget* view = host();
    for (auto _ : state) benchmark::DoNotOptimize(view->grab());
}
BENCHMARK(ScreenshotAction_Baseline_QWidgetGrab)->Unit(benchmark::kMillisecond);

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
