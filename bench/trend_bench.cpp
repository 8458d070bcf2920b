// One full trend graph redraw (600 bars, 17 texts) into the window's image, offscreen.
#include <benchmark/benchmark.h>

#include <QApplication>

#include <array>
#include <cstdlib>

#include "ui/display_windows.h"
#include "drawing/trend_plot.h"

namespace {

std::array<float, 600> sampleHistory() {
    std::array<float, 600> history{};
    // Doses around both limits so that all three bar colours occur.
    for (std::size_t i = 0; i < history.size(); ++i) history[i] = static_cast<float>((i * 37) % 300) / 100.0f;
    return history;
}

void TrendRedraw(benchmark::State& state) {
    ravelin::DisplayWindows windows;
    const auto history = sampleHistory();
    const ravelin::TrendInputs inputs{&history, 123, 0.27, 2.7, 0.27f, 2.7f};
    windows.redrawTrend(inputs);  // creates the window and warms the glyph cache
    for (auto _ : state) benchmark::DoNotOptimize(windows.redrawTrend(inputs));
    windows.closeAll();
}
BENCHMARK(TrendRedraw)->Unit(benchmark::kMicrosecond);

// The drawing operations alone, without painting.
void TrendOperations(benchmark::State& state) {
    const auto history = sampleHistory();
    const ravelin::TrendLimits limits{0.27, 2.7, 0.27f, 2.7f};
    for (auto _ : state) benchmark::DoNotOptimize(ravelin::trendPlot(history, 123, limits));
}
BENCHMARK(TrendOperations)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
