#include <algorithm>
#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "model/case_file.h"
#include "model/sizing_run.h"
#include "row_name.h"

namespace kestrol {
namespace {

using host::SizingCase;

SizingCase TwoPhase(double vapourFlow, double liquidFlow) {
    SizingCase c;
    c.values[host::kPressure] = 1000.0;
    c.values[host::kTemperature] = 40.0;
    c.values[host::kVapourMassFlow] = vapourFlow;
    c.values[host::kVapourDensity] = 10.0;
    c.values[host::kLightLiquidMassFlow] = liquidFlow;
    c.values[host::kLightLiquidDensity] = 800.0;
    return c;
}

void Give(SizingCase& c, const char* designKey, double value) {
    const int key = host::FindCaseKey(designKey, true);
    ASSERT_GE(key, 0) << designKey;
    c.values[static_cast<std::size_t>(key)] = value;
}

struct AutoRow {
    const char* name;
    double vapourFlow;
    double liquidFlow;
    int chosen;
};

// Much liquid for little vapour fills a horizontal drum; a gas scrubber stands upright.
const AutoRow kAutoRows[] = {
    {"LiquidRichFeedLiesDown", 5000.0, 10000.0, 1},
    {"GasFeedStandsUp", 60000.0, 100.0, 0},
};

class AutoOrientationTest : public testing::TestWithParam<AutoRow> {};

TEST_P(AutoOrientationTest, TakesTheObjectsChoiceAndSizesAsIfItHadBeenGiven) {
    const AutoRow& row = GetParam();
    SizingCase automatic = TwoPhase(row.vapourFlow, row.liquidFlow);
    const host::SizingOutcome chosen = host::SizeCase(automatic);
    EXPECT_EQ(chosen.result, S_OK);
    EXPECT_EQ(chosen.orientation, row.chosen);
    EXPECT_TRUE(chosen.orientationChosen);

    SizingCase given = automatic;
    given.orientation = row.chosen == 0 ? host::Orientation::Vertical : host::Orientation::Horizontal;
    const host::SizingOutcome direct = host::SizeCase(given);
    EXPECT_FALSE(direct.orientationChosen);
    for (int i = 1; i <= host::kHoldupIndex; ++i) EXPECT_EQ(chosen.values[i], direct.values[i]) << "index " << i;
}

INSTANTIATE_TEST_SUITE_P(Rows, AutoOrientationTest, testing::ValuesIn(kAutoRows), testing_support::RowName());

struct DesignRow {
    const char* name;
    const char* key;
    double value;
    Slot slot;
    double stored;  ///< as the vector holds it after the sizing: fixed values negative
};

const DesignRow kDesignRows[] = {
    {"DiameterFixed", "diameter_m", 2.1336, Slot::Diameter, -2.1336},
    {"RatioFixed", "ratio", 3.5, Slot::Ratio, -3.5},
    {"LightTimeFixed", "light_liquid_residence_time_s", 420.0, Slot::LightResidenceTime, -420.0},
    {"MinimumLevelFixed", "minimum_liquid_level_m", 0.5, Slot::MinimumLevel, -0.5},
    {"WallThicknessFixed", "wall_thickness_m", 0.02, Slot::WallThickness, -0.02},
    {"MaterialOptionAsIs", "material_code", 3.0, Slot::MaterialCode, 3.0},
    {"CostIndexOptionAsIs", "cost_index", 600.0, Slot::CostIndex, 600.0},
    {"JointEfficiencyAsIs", "joint_efficiency", 0.85, Slot::JointEfficiency, 0.85},
};

class DesignBlockTest : public testing::TestWithParam<DesignRow> {};

// The presets run first and the design block after them, so the engineer's value wins.
TEST_P(DesignBlockTest, ReachesTheVectorAfterThePresets) {
    const DesignRow& row = GetParam();
    for (host::Orientation o : {host::Orientation::Vertical, host::Orientation::Horizontal}) {
        SizingCase c = TwoPhase(5000.0, 10000.0);
        c.orientation = o;
        Give(c, row.key, row.value);
        const host::SizingOutcome outcome = host::SizeCase(c);
        EXPECT_EQ(outcome.result, S_OK);
        EXPECT_EQ(outcome.orientation, o == host::Orientation::Vertical ? 0 : 1);
        EXPECT_EQ(outcome.At(row.slot), row.stored) << host::OrientationWord(o);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, DesignBlockTest, testing::ValuesIn(kDesignRows), testing_support::RowName());

TEST(HostCallbackTest, NoLiquidFeedIsAnsweredFromTheCase) {
    SizingCase c = TwoPhase(12000.0, 0.0);
    c.values[host::kLightLiquidMassFlow] = kEmptyValue;
    c.values[host::kLightLiquidDensity] = kEmptyValue;
    c.values[host::kAssumedLiquidPercent] = 2.0;
    c.values[host::kAssumedLiquidDensity] = 650.0;
    const host::SizingOutcome outcome = host::SizeCase(c);
    EXPECT_EQ(outcome.result, S_OK);
    EXPECT_TRUE(outcome.liquidAssumed);

    c.values[host::kAssumedLiquidDensity] = kEmptyValue;
    EXPECT_EQ(host::SizeCase(c).result, SIZING_E_NOLIQUIDDENSITY);
    // A density given but too small for the object is not "no density".
    c.values[host::kVapourDensity] = 0.00001;
    c.values[host::kAssumedLiquidDensity] = 0.00005;
    const host::SizingOutcome tooLight = host::SizeCase(c);
    EXPECT_EQ(tooLight.result, SIZING_E_NOLIQUIDDENSITY);
    const std::string why = host::ExplainFailure(c, tooLight);
    EXPECT_NE(why.find("5e-05 kg/m3 is below the least"), std::string::npos) << why;
    c.values[host::kVapourDensity] = 10.0;
    c.values[host::kAssumedLiquidPercent] = kEmptyValue;
    EXPECT_EQ(host::SizeCase(c).result, SIZING_E_NOPERCENT);
}

TEST(HostCallbackTest, FeedWithLiquidNeverAsks) {
    const host::SizingOutcome outcome = host::SizeCase(TwoPhase(5000.0, 10000.0));
    EXPECT_FALSE(outcome.liquidAssumed);
}

struct ExplainRow {
    const char* name;
    HRESULT result;
    const char* fragment;
};

const ExplainRow kExplainRows[] = {
    {"NoFlow", SIZING_E_NOFLOW, "give a positive vapour_mass_flow_kg_h"},
    {"NoVapour", SIZING_E_NOVAPOUR, "needs a vapour flow"},
    {"MissingInput", SIZING_E_MISSINGINPUT, "give pressure_kPa and temperature_C"},
    {"NoVector", SIZING_E_NOVECTOR, "short of memory"},
    {"NoPercent", SIZING_E_NOPERCENT, "give assumed_liquid_percent"},
    {"NoLiquidDensity", SIZING_E_NOLIQUIDDENSITY, "give assumed_liquid_density_kg_m3"},
    {"Preset", SIZING_E_PRESET, "gives the feed no allowable vapour velocity"},
    {"Orientation", SIZING_E_ORIENTATION, "vertical or horizontal"},
    {"Unexpected", E_FAIL, "0x80004005"},
};

class ExplainResultTest : public testing::TestWithParam<ExplainRow> {};

TEST_P(ExplainResultTest, TellsWhatToFix) {
    SizingCase c;  // nothing given: the missing-input sentence lists what is absent
    c.values[host::kVapourMassFlow] = 100.0;
    c.values[host::kVapourDensity] = 1.0;
    const std::string sentence = host::ExplainResult(GetParam().result, c);
    EXPECT_NE(sentence.find(GetParam().fragment), std::string::npos) << sentence;
    EXPECT_EQ(sentence.back(), '.');
}

INSTANTIATE_TEST_SUITE_P(Rows, ExplainResultTest, testing::ValuesIn(kExplainRows), testing_support::RowName());

// 60,000 kg/h of gas at 28 kg/m3 with 10 kg/h of liquid at 720 kg/m3: a flow parameter of
// 3.3e-5, where the gas-load correlation gives a negative velocity. The object sizes on its
// magnitude; the host must not call that a design, whatever the orientation or the phases.
SizingCase DryGas(double liquidFlow) {
    SizingCase c = TwoPhase(60000.0, liquidFlow);
    c.values[host::kPressure] = 3500.0;
    c.values[host::kTemperature] = 35.0;
    c.values[host::kVapourDensity] = 28.0;
    c.values[host::kLightLiquidDensity] = 720.0;
    return c;
}

struct DryGasRow {
    const char* name;
    host::Orientation orientation;
    bool heavy;
};

const DryGasRow kDryGasRows[] = {
    {"Vertical", host::Orientation::Vertical, false},         {"Horizontal", host::Orientation::Horizontal, false},
    {"Auto", host::Orientation::Auto, false},                 {"VerticalThreePhase", host::Orientation::Vertical, true},
    {"HorizontalThreePhase", host::Orientation::Horizontal, true}, {"AutoThreePhase", host::Orientation::Auto, true},
};

class DryGasTest : public testing::TestWithParam<DryGasRow> {
protected:
    SizingCase Case(double liquidFlow) const {
        SizingCase c = DryGas(liquidFlow);
        c.orientation = GetParam().orientation;
        if (GetParam().heavy) {
            c.values[host::kHeavyLiquidMassFlow] = 5.0;
            c.values[host::kHeavyLiquidDensity] = 1000.0;
        }
        return c;
    }
};

TEST_P(DryGasTest, ANegativeCorrelationVelocityIsNotSized) {
    const SizingCase c = Case(10.0);
    const host::SizingOutcome o = host::SizeCase(c);
    EXPECT_EQ(o.result, S_OK);
    EXPECT_LT(o.At(Slot::VapourVelocity), 0.0) << "the object keeps its number";
    EXPECT_TRUE(IsSetAndFinite(o.At(Slot::Diameter))) << "and sizes on its magnitude";
    EXPECT_TRUE(o.VelocityUndefined());
    EXPECT_FALSE(o.Sized());
    const std::string why = host::ExplainFailure(c, o);
    for (const char* part : {"flow parameter", "3.29e-05", "not defined", "not positive", "design.allowable_vapour_velocity_m_s"})
        EXPECT_NE(why.find(part), std::string::npos) << part << ": " << why;
    const auto missing = host::MissingResults(c, o);
    EXPECT_NE(std::find(missing.begin(), missing.end(), "allowable vapour velocity"), missing.end());
}

// X = (10 / 60000) sqrt(28 / 720) = 3.2867e-5; K = 0.733 + 0.0899 ln X = 0.733 - 0.92804 =
// -0.19504 ft/s; u = K x 0.3048 sqrt((720 - 28) / 28) = -0.059449 x 4.97135 = -0.29554 m/s. The
// sentence gives the sign the correlation gave, and the magnitude the object sized on.
TEST_P(DryGasTest, TheSentenceGivesTheSignedVelocityAndWhatTheSizingDidWithIt) {
    const SizingCase c = Case(10.0);
    const host::SizingOutcome o = host::SizeCase(c);
    ASSERT_TRUE(o.gasLoad.has_value());
    EXPECT_NEAR(o.gasLoad->velocity, -0.29554, 1e-5);
    const std::string why = host::ExplainFailure(c, o);
    for (const char* part : {"allowable vapour velocity of -0.296 m/s", "takes its magnitude, 0.296 m/s, as the allowable velocity and sizes on it",
                             "no vessel is reported"})
        EXPECT_NE(why.find(part), std::string::npos) << part << ": " << why;
}

TEST_P(DryGasTest, AGivenVelocitySizesTheSameFeed) {
    SizingCase c = Case(10.0);
    Give(c, "allowable_vapour_velocity_m_s", 0.3);
    const host::SizingOutcome o = host::SizeCase(c);
    EXPECT_TRUE(o.Sized()) << host::ExplainFailure(c, o);
}

TEST_P(DryGasTest, APositiveExtrapolationStaysSized) {
    // 100 kg/h: a flow parameter of 3.3e-4, above where the fit reaches zero.
    const SizingCase c = Case(100.0);
    const host::SizingOutcome o = host::SizeCase(c);
    EXPECT_TRUE(o.Sized()) << host::ExplainFailure(c, o);
    EXPECT_GT(o.At(Slot::VapourVelocity), 0.0);
}

INSTANTIATE_TEST_SUITE_P(Rows, DryGasTest, testing::ValuesIn(kDryGasRows), testing_support::RowName());

// The presets stop when the correlation gives no velocity at all; the sentence names the input
// that caused it rather than the memory it once blamed, on the plain route and the design route.
struct PresetCauseRow {
    const char* name;
    double vapourFlow;
    double vapourDensity;
    double liquidDensity;
    const char* fragment;
};

const PresetCauseRow kPresetCauseRows[] = {
    {"DenormalVapourFlow", 1e-310, 28.0, 720.0, "vapour_mass_flow_kg_h of 1e-310 kg/h is too small"},
    {"DensityRatioUnderflows", 100.0, 1e-300, 1e300, "comes to 0"},
    {"VapourDensityFarTooSmall", 100.0, 1e-300, 1e10, "velocity overflows"},
};

class PresetCauseTest : public testing::TestWithParam<PresetCauseRow> {};

TEST_P(PresetCauseTest, NamesTheInputNotTheMemory) {
    const PresetCauseRow& row = GetParam();
    for (const bool designRoute : {false, true}) {
        SizingCase c = TwoPhase(row.vapourFlow, 10.0);
        c.values[host::kVapourDensity] = row.vapourDensity;
        c.values[host::kLightLiquidDensity] = row.liquidDensity;
        c.orientation = designRoute ? host::Orientation::Auto : host::Orientation::Vertical;
        const host::SizingOutcome o = host::SizeCase(c);
        EXPECT_EQ(o.result, SIZING_E_PRESET);
        const std::string why = host::ExplainFailure(c, o);
        EXPECT_NE(why.find(row.fragment), std::string::npos) << why;
        EXPECT_EQ(why.find("memory"), std::string::npos) << why;
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, PresetCauseTest, testing::ValuesIn(kPresetCauseRows), testing_support::RowName());

TEST(ExplainFailureTest, HeavyLiquidResultsAreRequiredOnlyWithAHeavyLiquid) {
    host::SizingOutcome outcome;
    outcome.result = S_OK;
    outcome.orientation = 1;
    SizingCase twoPhase = TwoPhase(5000.0, 10000.0);
    const std::string two = host::ExplainFailure(twoPhase, outcome);
    EXPECT_EQ(two.find("heavy"), std::string::npos) << two;
    SizingCase threePhase = twoPhase;
    threePhase.values[host::kHeavyLiquidMassFlow] = 100.0;
    threePhase.values[host::kHeavyLiquidDensity] = 1000.0;
    const std::string three = host::ExplainFailure(threePhase, outcome);
    EXPECT_NE(three.find("heavy liquid level"), std::string::npos) << three;
    EXPECT_NE(three.find("The horizontal vessel could not be sized"), std::string::npos) << three;
}

}  // namespace
}  // namespace kestrol

namespace kestrol {
namespace {

// Given levels of an existing vessel decide the residence times; a given time stays as given.
TEST(RatingTest, GivenLevelsReplaceThePresetTimes) {
    SizingCase c = TwoPhase(18000.0, 30000.0);
    c.values[host::kHeavyLiquidMassFlow] = 15000.0;
    c.values[host::kHeavyLiquidDensity] = 1010.0;
    c.orientation = host::Orientation::Horizontal;
    const host::SizingOutcome preset = host::SizeCase(c);
    Give(c, "diameter_m", 2.1336);
    Give(c, "heavy_liquid_level_m", 0.45);
    Give(c, "light_liquid_layer_m", 0.55);
    Give(c, "light_liquid_residence_time_s", 900.0);
    const host::SizingOutcome rated = host::SizeCase(c);
    ASSERT_TRUE(rated.Sized()) << host::ExplainFailure(c, rated);
    EXPECT_EQ(rated.At(Slot::LightResidenceTime), -900.0);
    EXPECT_NE(std::fabs(rated.At(Slot::HeavyResidenceTime)), std::fabs(preset.At(Slot::HeavyResidenceTime)));
    EXPECT_GT(std::fabs(rated.At(Slot::HeavyResidenceTime)), 0.0);
}

}  // namespace
}  // namespace kestrol
