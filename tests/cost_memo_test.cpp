#include "design/cost_memo.h"

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

/// The step run twice with its memo, as a sizing and then the driver run it, with `change`
/// made between the two runs: the second run must leave what a run without memo leaves.
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

class CostMemoTest : public testing::TestWithParam<Change> {};

TEST_P(CostMemoTest, SecondRunWritesWhatAFullRunWrites) {
    StreamState feed = Feed();
    ArraySlots memoised = Presets();
    CostMemo memo;
    ASSERT_EQ(EstimateVesselCostOnce(feed, memoised, &memo), 0.0);
    GetParam().apply(feed, memoised);
    ArraySlots computed = memoised;
    const double expected = EstimateVesselCost(feed, computed);
    EXPECT_EQ(EstimateVesselCostOnce(feed, memoised, &memo), expected);
    ExpectSameBits(computed, memoised);
}

INSTANTIATE_TEST_SUITE_P(Inputs, CostMemoTest, testing::ValuesIn(kChanges), testing_support::RowName());

TEST(CostMemo, RunUnderAnotherRoundingModeComputesAgain) {
    StreamState feed = Feed();
    ArraySlots memoised = Presets();
    CostMemo memo;
    ASSERT_EQ(EstimateVesselCostOnce(feed, memoised, &memo), 0.0);
    const double nearestTotal = memoised[Slot::TotalCost];
    const int hostMode = std::fegetround();
    ASSERT_EQ(std::fesetround(FE_UPWARD), 0);
    ArraySlots computed = memoised;
    EstimateVesselCost(feed, computed);
    EstimateVesselCostOnce(feed, memoised, &memo);
    std::fesetround(hostMode);
    ExpectSameBits(computed, memoised);
    // The costs rounded upward differ from those of the first run, so a replay would show.
    EXPECT_NE(computed[Slot::TotalCost], nearestTotal);
}

TEST(CostMemo, FailedRunIsNotReplayed) {
    // An unknown material has no density: the step writes its costs empty and fails, and a
    // later run with the density given must compute.
    StreamState feed = Feed();
    ArraySlots s = Presets();
    s[Slot::MaterialCode] = 9.0;
    CostMemo memo;
    EXPECT_EQ(EstimateVesselCostOnce(feed, s, &memo), kEmptyValue);
    EXPECT_FALSE(memo.valid);
    s[Slot::MaterialDensity] = 7861.087973345294;
    ArraySlots computed = s;
    EXPECT_EQ(EstimateVesselCostOnce(feed, s, &memo), EstimateVesselCost(feed, computed));
    ExpectSameBits(computed, s);
}

}  // namespace
}  // namespace kestrol::design
