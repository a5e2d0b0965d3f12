// Timings of whole sizings through the interface, as a simulator's loop calls them.
#include <array>
#include <cstdint>

#include <benchmark/benchmark.h>

#include "design/vertical_levels.h"
#include "horizontal/geometry.h"
#include "sizing/sizing_object.h"
#include "tests/array_slots.h"

namespace {

using kestrol::ISeparatorSizing;
using kestrol::kEmptyValue;

struct Feed {
    double lightDensity, lightFlow, heavyDensity, heavyFlow, vapourDensity, vapourFlow, pressure, temperature;
};
constexpr Feed kTwoPhase = {800.0, 2000.0, kEmptyValue, kEmptyValue, 10.0, 5000.0, 1000.0, 40.0};
constexpr Feed kThreePhase = {780.0, 8000.0, 1010.0, 3000.0, 12.0, 5000.0, 2500.0, 30.0};
constexpr Feed kHorizontalTwoPhase = {800.0, 10000.0, kEmptyValue, kEmptyValue, 10.0, 5000.0, 1000.0, 40.0};
constexpr Feed kNoLiquid = {kEmptyValue, kEmptyValue, kEmptyValue, kEmptyValue, 10.0, 1000.0, 1000.0, 40.0};

double STDMETHODCALLTYPE AssumedLiquid(std::int32_t code) { return code == 0 ? 5.0 : 800.0; }

class Object {
public:
    Object(const Feed& feed, std::int32_t orientation) : object_(kestrol::CreateSizingObject()) {
        object_->SetLightLiquidDensity(feed.lightDensity);
        object_->SetLightLiquidMassFlow(feed.lightFlow);
        object_->SetHeavyLiquidDensity(feed.heavyDensity);
        object_->SetHeavyLiquidMassFlow(feed.heavyFlow);
        object_->SetVapourDensity(feed.vapourDensity);
        object_->SetVapourMassFlow(feed.vapourFlow);
        object_->SetPressure(feed.pressure);
        object_->SetTemperature(feed.temperature);
        object_->SetAuxiliaryValue1(1.0);
        object_->SetPropertyCallback(&AssumedLiquid);
        object_->SetOrientation(orientation);
    }
    ~Object() { object_->Release(); }
    ISeparatorSizing* operator->() { return object_; }

private:
    ISeparatorSizing* object_;
};

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
        benchmark::DoNotOptimize(kestrol::design::SolveCubic(-1.5, 0.0, 0.23873241460667105 * volume, roots));
        volume = volume < 1.0 ? volume + 0.01 : 0.1;
    }
}

BENCHMARK_CAPTURE(BM_Calculate, VerticalTwoPhase, kTwoPhase, 0);
BENCHMARK_CAPTURE(BM_Calculate, VerticalThreePhase, kThreePhase, 0);
BENCHMARK_CAPTURE(BM_Calculate, HorizontalTwoPhase, kHorizontalTwoPhase, 1);
BENCHMARK_CAPTURE(BM_Calculate, HorizontalThreePhase, kThreePhase, 1);
BENCHMARK(BM_CalculateNoLiquid);
BENCHMARK(BM_RateAroundOneLevel);
BENCHMARK(BM_HorizontalLiquidVolume);
BENCHMARK(BM_LevelForVolume);
BENCHMARK(BM_SolveCubic);

}  // namespace

BENCHMARK_MAIN();
