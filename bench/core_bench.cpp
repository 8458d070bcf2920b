// Detector throughput on a realistic signal, with memchr over the same bytes as the
// reference, the cost of one second through the whole pipeline and of its 95 % interval.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "engine/detector.h"
#include "engine/poisson_interval.h"
#include "support/fakes.h"

using namespace ravelin;

namespace {
// One second at 22050 Hz: baseline near 128 with noise and about 5 pulses a second
// (a busy background), each a dip to ~20 with an exponential recovery and ringing.
std::vector<std::uint8_t> realisticSecond(unsigned seed, int pulses = 5) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0.0, 2.0);
    std::vector<double> v(22050, 128.0);
    for (int p = 0; p < pulses; ++p) {
        const std::size_t at = 200 + rng() % 21600;
        for (std::size_t j = 0; j < 200 && at + j < v.size(); ++j) {
            const double t = static_cast<double>(j);
            v[at + j] += -108.0 * std::exp(-t / 12.0) + 15.0 * std::exp(-t / 30.0) * std::sin(t / 3.0);
        }
    }
    std::vector<std::uint8_t> out(v.size());
    for (std::size_t i = 0; i < v.size(); ++i)
        out[i] = static_cast<std::uint8_t>(std::clamp(std::lround(v[i] + noise(rng)), 0L, 255L));
    return out;
}

void BM_Detector(benchmark::State& state) {
    const auto s = realisticSecond(1);
    std::int16_t armed = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(scanPulses(s, DetectorSettings{47, 53, 10}, armed));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * s.size()));
}
BENCHMARK(BM_Detector);

void BM_DetectorReferenceLoop(benchmark::State& state) {
    const auto s = realisticSecond(1);
    std::int16_t armed = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(scanPulsesReference(s, DetectorSettings{47, 53, 10}, armed));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * s.size()));
}
BENCHMARK(BM_DetectorReferenceLoop);

void BM_MemchrSameBytes(benchmark::State& state) {
    const auto s = realisticSecond(1);
    // A byte value the signal never takes, so memchr reads every byte.
    bool seen[256] = {};
    for (auto b : s) seen[b] = true;
    int absent = 0;
    while (seen[absent]) ++absent;
    for (auto _ : state) {
        benchmark::DoNotOptimize(std::memchr(s.data(), absent, s.size()));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * s.size()));
}
BENCHMARK(BM_MemchrSameBytes);

// One second with no record due, through BufferDone with the default settings.
void BM_PipelineSecond(benchmark::State& state) {
    test::Rig rig;
    rig.face.checks[Check::Check4] = true;
    rig.start("29");
    const auto s = realisticSecond(2);
    rig.device.contents[0] = s;
    auto& monitor = rig.monitor;
    std::int32_t n = 0;
    for (auto _ : state) {
        // Keep clear of the 60th seconds, whose record writing is measured elsewhere.
        if (monitor.state().ElapsedSeconds % 60 == 58) monitor.state().ElapsedSeconds += 2;
        monitor.BufferDone(0, static_cast<std::int32_t>(s.size()), 0);
        ++n;
    }
    benchmark::DoNotOptimize(n);
}
BENCHMARK(BM_PipelineSecond)->Unit(benchmark::kMicrosecond);

// The 95 % interval each second computes, from an idle tube to 60 full seconds of 32767 pulses.
void BM_GarwoodInterval(benchmark::State& state) {
    const std::int64_t n = state.range(0);
    for (auto _ : state) benchmark::DoNotOptimize(garwoodInterval(n));
}
BENCHMARK(BM_GarwoodInterval)->Arg(0)->Arg(120)->Arg(36000)->Arg(1966020)->Unit(benchmark::kMicrosecond);
}  // namespace
