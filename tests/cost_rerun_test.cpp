#include <gtest/gtest.h>

#include <cfenv>
#include <cstring>
#include <limits>

#include "design/cost.h"
#include "tests/array_slots.h"
#include "tests/preset_vessel.h"
#include "tests/row_name.h"

namespace kestrol::design {
namespace {

using testing_support::ArraySlots;

/// What the presets leave for a vertical vessel of D = 1.2 m and L = 4.1 m.
ArraySlots Presets() { return testing_support::PresetVerticalVessel(1.2, 4.1); }

StreamState Feed() {
    StreamState feed;
    feed.pressure = 2000.0;
    feed.temperature = 80.0;
    return feed;
}

void ExpectSameBits(const ArraySlots& expected, const ArraySlots& actual) {
    for (int i = 0; i < kSlotCount; ++i)
        EXPECT_EQ(std::memcmp(&expected.values[i], &actual.values[i], sizeof(double)), 0)
            << "slot " << i + 1 << ": expected " << expected.values[i] << ", got " << actual.values[i];
}

/// Calculate runs the finishing step once where a path and then the driver would each run it:
/// that holds only if a run on what a run left writes the same bits and gives the same
/// result. Each row changes the presets before the two runs.
struct Change {
    const char* name;
    void (*apply)(StreamState&, ArraySlots&);
};

const Change kChanges[] = {
    {"Nothing", [](StreamState&, ArraySlots&) {}},
    {"CostsOverwritten", [](StreamState&, ArraySlots& s) {
         s[Slot::VesselCost] = 1.0;
         s[Slot::PlatformCost] = kEmptyValue;
         s[Slot::TotalCost] = -7.0;
     }},
    {"Pressure", [](StreamState& f, ArraySlots&) { f.pressure = 2500.0; }},
    {"Temperature", [](StreamState& f, ArraySlots& s) {
         f.temperature = 400.0;
         s[Slot::AllowableStress] = kEmptyValue;  // looked up again at the new temperature
     }},
    {"Diameter", [](StreamState&, ArraySlots& s) { s[Slot::Diameter] = 1.3716; }},
    {"DiameterFixed", [](StreamState&, ArraySlots& s) { s[Slot::Diameter] = -1.2; }},
    {"Length", [](StreamState&, ArraySlots& s) { s[Slot::OverallLength] = 5.0; }},
    {"CostIndex", [](StreamState&, ArraySlots& s) { s[Slot::CostIndex] = 300.0; }},
    {"CorrosionAllowance", [](StreamState&, ArraySlots& s) { s[Slot::CorrosionAllowance] = 0.01; }},
    {"MaterialLookedUpAgain", [](StreamState&, ArraySlots& s) {
         s[Slot::MaterialCode] = 3.0;
         s[Slot::MaterialCostFactor] = kEmptyValue;
         s[Slot::AllowableStress] = kEmptyValue;
         s[Slot::MaterialDensity] = kEmptyValue;
     }},
    {"JointEfficiency", [](StreamState&, ArraySlots& s) { s[Slot::JointEfficiency] = 0.85; }},
    {"ShellFormulaOff", [](StreamState&, ArraySlots& s) { s[Slot::ShellPressureCoefficient] = kEmptyValue; }},
    {"HeadMultiplier", [](StreamState&, ArraySlots& s) { s[Slot::HeadStressMultiplier] = 0.5; }},
    {"HeadCoefficient", [](StreamState&, ArraySlots& s) { s[Slot::HeadPressureCoefficient] = 0.9; }},
    {"HeadLengthFactor", [](StreamState&, ArraySlots& s) { s[Slot::HeadLengthFactor] = 1.0; }},
    {"CostA", [](StreamState&, ArraySlots& s) { s[Slot::VesselCostA] = 8.1; }},
    {"CostB", [](StreamState&, ArraySlots& s) { s[Slot::VesselCostB] = -0.1; }},
    {"CostC", [](StreamState&, ArraySlots& s) { s[Slot::VesselCostC] = 0.05; }},
    {"PlatformLengthExponent", [](StreamState&, ArraySlots& s) { s[Slot::PlatformLengthExponent] = 0.0; }},
    {"PlatformCoefficient", [](StreamState&, ArraySlots& s) { s[Slot::PlatformCoefficient] = 1288.3; }},
    {"PlatformDiameterExponent", [](StreamState&, ArraySlots& s) { s[Slot::PlatformDiameterExponent] = 0.2; }},
    {"CostFactorGiven", [](StreamState&, ArraySlots& s) { s[Slot::MaterialCostFactor] = -1.5; }},
    {"StressGiven", [](StreamState&, ArraySlots& s) { s[Slot::AllowableStress] = 50000.0; }},
    {"DensityGiven", [](StreamState&, ArraySlots& s) { s[Slot::MaterialDensity] = 2675.0; }},
    {"ThicknessFixed", [](StreamState&, ArraySlots& s) { s[Slot::WallThickness] = -0.02; }},
    {"ThicknessEmptied", [](StreamState&, ArraySlots& s) {
         s[Slot::WallThickness] = kEmptyValue;
         s[Slot::VesselCost] = kEmptyValue;
     }},
    {"NegativeZeroAllowance", [](StreamState&, ArraySlots& s) { s[Slot::CorrosionAllowance] = -0.0; }},
};

class CostRerunTest : public testing::TestWithParam<Change> {};

/// Runs the step on `once` and then again on a copy; the copy must come out as `once`.
void ExpectRerunChangesNothing(const StreamState& feed, ArraySlots& once) {
    const double first = EstimateVesselCost(feed, once);
    ArraySlots twice = once;
    EXPECT_EQ(EstimateVesselCost(feed, twice), first);
    ExpectSameBits(once, twice);
}

TEST_P(CostRerunTest, SecondRunWritesWhatTheFirstWrote) {
    StreamState feed = Feed();
    ArraySlots slots = Presets();
    GetParam().apply(feed, slots);
    ExpectRerunChangesNothing(feed, slots);
}

INSTANTIATE_TEST_SUITE_P(Inputs, CostRerunTest, testing::ValuesIn(kChanges), testing_support::RowName());

TEST(CostRerun, HoldsUnderAnotherRoundingMode) {
    const int hostMode = std::fegetround();
    ASSERT_EQ(std::fesetround(FE_UPWARD), 0);
    ArraySlots slots = Presets();
    ExpectRerunChangesNothing(Feed(), slots);
    std::fesetround(hostMode);
}

TEST(CostRerun, HoldsForAFailedRun) {
    // An unknown material has no density: the step writes its costs empty and fails.
    ArraySlots slots = Presets();
    slots[Slot::MaterialCode] = 9.0;
    ExpectRerunChangesNothing(Feed(), slots);
    EXPECT_EQ(slots[Slot::TotalCost], kEmptyValue);
}

}  // namespace
}  // namespace kestrol::design
