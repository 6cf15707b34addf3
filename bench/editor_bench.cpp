// One pencil move and one marker move of the screenshot editor on a canvas of
// 1080 x 2340 pixels (540 x 1170 points at ratio 2): the segment painted
// into the drawing layer where it lies, beside the whole-layer redraw (a
// fresh layer, the old one drawn into it, then the segment). The in-place
// move is measured at twice the canvas's width and height as well, to show
// that its cost follows the segment and not the canvas.
#include "ui/editor/canvas/EditCanvas.h"
#include "ui/editor/tools/Bitmap.h"

#include <QGuiApplication>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

constexpr qreal kRatio = 2;

// A closed loop of short segments in the middle of the canvas, as a finger
// draws them: about 10 points apart.
std::vector<QPointF> path(QSizeF points) {
    std::vector<QPointF> out;
    const QPointF centre(points.width() / 2, points.height() / 2);
    for (int i = 0; i < 64; ++i) {
        const qreal t = i * 2 * M_PI / 64;
        out.emplace_back(centre.x() + 100 * std::sin(t), centre.y() + 100 * std::cos(t) + 30 * std::sin(3 * t));
    }
    return out;
}

QSizeF canvasPoints(const benchmark::State& state) { return QSizeF(state.range(0), state.range(1)) / kRatio; }

void moveInPlace(benchmark::State& state, int mode) {
    const QSizeF size = canvasPoints(state);
    brelvo::EditCanvas canvas(kRatio);
    canvas.setFrame(size);
    QImage shot(QSize(state.range(0), state.range(1)), QImage::Format_ARGB32_Premultiplied);
    shot.fill(Qt::white);
    shot.setDevicePixelRatio(kRatio);
    canvas.setSourceImage(shot);
    canvas.setCurrentEditMode(mode);
    const std::vector<QPointF> points = path(size);
    canvas.touchBegan(points.front());
    size_t i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(canvas.touchMoved(points[++i % points.size()]));
}

void moveWholeLayer(benchmark::State& state, const brelvo::StrokeSettings& settings) {
    const QSizeF size = canvasPoints(state);
    const brelvo::StrokeTool tool(settings);
    const std::vector<QPointF> points = path(size);
    QImage layer;
    size_t i = 0;
    for (auto _ : state) {
        QImage next = brelvo::bitmap::blank(size, kRatio);
        {
            QPainter painter(&next);
            if (!layer.isNull()) painter.drawImage(QRectF(QPointF(0, 0), size), layer);
            tool.draw(painter, points[i % points.size()], points[(i + 1) % points.size()], Qt::red);
        }
        ++i;
        layer = next;
        benchmark::DoNotOptimize(layer);
    }
}

void PencilMove_InPlace(benchmark::State& state) { moveInPlace(state, brelvo::kModePencil); }
void PencilMove_Baseline_WholeLayer(benchmark::State& state) { moveWholeLayer(state, brelvo::kPencil); }
void MarkerMove_InPlace(benchmark::State& state) { moveInPlace(state, brelvo::kModeMarker); }
void MarkerMove_Baseline_WholeLayer(benchmark::State& state) { moveWholeLayer(state, brelvo::kMarker); }

BENCHMARK(PencilMove_InPlace)->Args({1080, 2340})->Args({2160, 4680})->Unit(benchmark::kMicrosecond);
BENCHMARK(PencilMove_Baseline_WholeLayer)->Args({1080, 2340})->Unit(benchmark::kMicrosecond);
BENCHMARK(MarkerMove_InPlace)->Args({1080, 2340})->Args({2160, 4680})->Unit(benchmark::kMicrosecond);
BENCHMARK(MarkerMove_Baseline_WholeLayer)->Args({1080, 2340})->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
