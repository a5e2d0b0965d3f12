// Timings of whole sizings through the interface, as a simulator's loop calls them.
#include <array>
#include <cstdint>

#include <benchmark/benchmark.h>

#include "bench/feeds.h"
#include "vertical/vertical_levels.h"
#include "horizontal/geometry.h"
#include "tests/array_slots.h"

namespace {

using kestrol::kEmptyValue;
using kestrol::bench::Feed;
using kestrol::bench::kNoLiquid;
using kestrol::bench::kThreePhase;
using kestrol::bench::Object;

void BM_Calculate(benchmark::State& state, const Feed& feed, std::int32_t orientation) {
    Object object(feed, orientation);
    for (auto _ : state) benchmark::DoNotOptimize(object->Calculate(0));
}

void BM_CalculateNoLiquid(benchmark::State& state) {
    Object object(kNoLiquid, 0);
    for (auto _ : state) {
        // Each sizing starts from the feed as the host gave it.
        object->SetLightLiquidMassFlow(kEmptyValue);
        object->SetAssumedLiquidPercent(kEmptyValue);
        object->SetVapourMassFlow(kNoLiquid.vapourFlow);
        benchmark::DoNotOptimize(object->Calculate(0));
    }
}

// A host rating a horizontal vessel around a fixed heavy-liquid level: the one-level method
// with its probe at a large diameter.
void BM_RateAroundOneLevel(benchmark::State& state) {
    Object object(kThreePhase, 1);
    object->Calculate(0);  // derives the volume flows
    for (auto _ : state) {
        object->PresetOptions();
        object->SetValue(-0.3, 7);
        object->SetValue(-600.0, 6);  // the free liquid's time, so the diameter can be searched
        benchmark::DoNotOptimize(object->SizeHorizontalVessel());
    }
}

void BM_HorizontalLiquidVolume(benchmark::State& state) {
    kestrol::testing_support::ArraySlots slots;
    slots[kestrol::Slot::Ratio] = -3.0;
    double level = 0.4;
    for (auto _ : state) {
        benchmark::DoNotOptimize(kestrol::horizontal::HorizontalLiquidVolume(slots, level, 1.8288));
        level = level < 1.8 ? level + 0.01 : 0.4;
    }
}

void BM_LevelForVolume(benchmark::State& state) {
    kestrol::testing_support::ArraySlots slots;
    slots[kestrol::Slot::Diameter] = 1.8288;
    slots[kestrol::Slot::Ratio] = -3.0;
    double volume = 0.5;
    for (auto _ : state) {
        benchmark::DoNotOptimize(kestrol::horizontal::LevelForVolume(slots, volume));
        volume = volume < 10.0 ? volume + 0.1 : 0.5;
    }
}

void BM_SolveCubic(benchmark::State& state) {
    std::array<double, 3> roots{};
    double volume = 0.1;
    for (auto _ : state) {
        benchmark::DoNotOptimize(kestrol::vertical::SolveCubic(-1.5, 0.0, 0.23873241460667105 * volume, roots));
        benchmark::DoNotOptimize(roots.data());
        benchmark::ClobberMemory();
        volume = volume < 1.0 ? volume + 0.01 : 0.1;
    }
}

BENCHMARK_CAPTURE(BM_Calculate, VerticalTwoPhase, kestrol::bench::kTwoPhase, 0);
BENCHMARK_CAPTURE(BM_Calculate, VerticalThreePhase, kThreePhase, 0);
BENCHMARK_CAPTURE(BM_Calculate, HorizontalTwoPhase, kestrol::bench::kHorizontalTwoPhase, 1);
BENCHMARK_CAPTURE(BM_Calculate, HorizontalThreePhase, kThreePhase, 1);
BENCHMARK(BM_CalculateNoLiquid);
BENCHMARK(BM_RateAroundOneLevel);
BENCHMARK(BM_HorizontalLiquidVolume);
BENCHMARK(BM_LevelForVolume);
BENCHMARK(BM_SolveCubic);

}  // namespace

BENCHMARK_MAIN();
