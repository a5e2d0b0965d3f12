#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "sizing/sizing_object.h"
#include "tests/array_slots.h"
#include "tests/object_fixture.h"
#include "vertical/vertical_sizing.h"

namespace kestrol::vertical {
namespace {

using testing_support::ArraySlots;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Liquid room of a vessel below its vapour space, written independently of the path.
double Room(double d, double ratio, double vapourSpace) {
    return 0.7853981635 * d * d * (ratio * d - vapourSpace) + 0.13089969391666667 * d * d * d;
}

bool SameBits(const ArraySlots& a, const ArraySlots& b) {
    return std::memcmp(a.values.data(), b.values.data(), sizeof a.values) == 0;
}

// A vector as the option presets leave it for a vertical vessel (allowances fixed at one
// foot, first pass), and a stream whose default times are 300 s (one liquid) or 600 s (two).
struct Vessel {
    ArraySlots slots;
    StreamState feed;

    explicit Vessel(bool heavy, double lightFlow = 0.001, double heavyFlow = 0.0005) {
        slots[Slot::VapourVelocity] = 1.0;
        slots[Slot::VapourAllowance] = -0.3048;
        slots[Slot::SecondVapourAllowance] = -0.3048;
        slots[Slot::MistEliminatorHeight] = 0.1524;
        slots[Slot::FirstPassFlag] = 0.0;
        feed.lightLiquidDensity = 800.0;
        feed.heavyLiquidDensity = 1000.0;
        feed.temperature = 20.0;
        feed.vapourVolumeFlow = 1.0;
        feed.lightLiquidVolumeFlow = lightFlow;
        feed.heavyLiquidVolumeFlow = heavy ? heavyFlow : kEmptyValue;
    }
    double Size() { return SizeVertical(feed, slots); }
    double& operator[](Slot s) { return slots[s]; }
};

struct DiameterRow {
    const char* name;
    double vapourFlow, mistEliminator;
    double velocityAfter, diameter, disengagement;
};

const DiameterRow kDiameterRows[] = {
    {"WithMistEliminator", 1.0, 0.1524, 1.0, 1.2192, 0.9144},
    {"WithoutMistEliminatorHalvesTheVelocity", 1.0, 0.0, 0.5, 1.6764, 1.2573},
    {"TinyFlowWithMistEliminator", 1e-6, 0.1524, 1.0, 0.1524, 0.3048},
    {"TinyFlowWithoutMistEliminator", 1e-6, 0.0, 0.5, 0.1524, 1.0},
    {"NoVapourAtAll", 0.0, 0.1524, 1.0, 0.1524, 0.3048},
    // Not a number is neither an eliminator nor none: no halving and no least height.
    {"NaNMistEliminatorKeepsTheVelocity", 1.0, kNaN, 1.0, 1.2192, 0.9144},
    {"TinyFlowNaNMistEliminatorHasNoLeastHeight", 1e-6, kNaN, 1.0, 0.1524, 0.1143},
    {"FixedMistEliminatorCountsByItsMagnitude", 1e-6, -0.1524, 1.0, 0.1524, 0.3048},
};

class SizeVerticalDiameterTest : public testing::TestWithParam<DiameterRow> {};

// A host-fixed height of 1 m is too short for the stack: the closure refuses it without
// storing the negative disengagement height, so slot 11 still shows the one the path sized.
TEST_P(SizeVerticalDiameterTest, SizesFromTheVapourAndKeepsItsDisengagementHeight) {
    const DiameterRow& row = GetParam();
    Vessel v(false);
    v.feed.vapourVolumeFlow = row.vapourFlow;
    v[Slot::MistEliminatorHeight] = row.mistEliminator;
    v[Slot::OverallLength] = -1.0;
    EXPECT_TRUE(IsEmpty(v.Size()));
    EXPECT_EQ(v[Slot::VapourVelocity], row.velocityAfter);
    EXPECT_NEAR(v[Slot::Diameter], row.diameter, 1e-12);
    EXPECT_NEAR(v[Slot::DisengagementHeight], row.disengagement, 1e-12);
    EXPECT_EQ(v[Slot::OverallLength], -1.0);
}

INSTANTIATE_TEST_SUITE_P(Rows, SizeVerticalDiameterTest, testing::ValuesIn(kDiameterRows),
                         [](const auto& rowInfo) { return std::string(rowInfo.param.name); });

TEST(SizeVerticalTest, FirstPassAtRatioThreeMarksItsChoices) {
    Vessel v(false);
    ASSERT_EQ(v.Size(), 0.0);
    EXPECT_EQ(v[Slot::Ratio], -3.0);
    EXPECT_NEAR(v[Slot::Diameter], 1.2192, 1e-12);
    EXPECT_DOUBLE_EQ(v[Slot::OverallLength], 3.5 * v[Slot::Diameter]);
    EXPECT_EQ(v[Slot::LightResidenceTime], -300.0);
    EXPECT_EQ(v[Slot::FirstPassFlag], 1.0);
    EXPECT_GT(v[Slot::LightLayerThickness], 0.0);
    EXPECT_GT(v[Slot::MinimumLevel], 0.0);
    // The stack closes on the height.
    const double d = v[Slot::Diameter];
    const double stack = d / 4.0 + 0.3048 + 0.3048 + v[Slot::LightLayerThickness] + 0.1524 + v[Slot::DisengagementHeight];
    EXPECT_NEAR(stack, v[Slot::OverallLength], 1e-12);
}

TEST(SizeVerticalTest, LaterPassWithAFixedTimeKeepsTheRatioPositive) {
    Vessel v(false);
    v[Slot::FirstPassFlag] = 1.0;
    v[Slot::LightResidenceTime] = -300.0;
    ASSERT_EQ(v.Size(), 0.0);
    EXPECT_EQ(v[Slot::Ratio], 3.0);
    EXPECT_EQ(v[Slot::FirstPassFlag], 1.0);
    EXPECT_EQ(v[Slot::LightResidenceTime], -300.0);
}

TEST(SizeVerticalTest, ThreePhaseFirstPassSharesTheRoomOfTheSizedVessel) {
    Vessel v(true);
    ASSERT_EQ(v.Size(), 0.0);
    const double d = v[Slot::Diameter];
    EXPECT_EQ(v[Slot::Ratio], -3.0);
    EXPECT_EQ(v[Slot::HeavyResidenceTime], -600.0);
    const double t6 = -v[Slot::LightResidenceTime];
    ASSERT_GT(t6, 600.0);
    // The heavy time was fixed by the ratio-3 step, so the light liquid takes the rest of the
    // room below the vapour space (disengagement height as first sized: 0.75 D).
    const double room = Room(d, 3.0, 0.3048 + 0.3048 + 0.75 * d + 0.1524);
    EXPECT_NEAR(t6 * 0.001 + 600.0 * 0.0005, room, 1e-9);
    EXPECT_GT(v[Slot::HeavyLevel], 0.0);
    EXPECT_EQ(v[Slot::FirstPassFlag], 1.0);
}

TEST(SizeVerticalTest, DiameterSearchAtRatioFiveFindsTheSmallestThatHolds) {
    Vessel v(false, 0.05);
    ASSERT_EQ(v.Size(), 0.0);
    const double d = v[Slot::Diameter];
    EXPECT_EQ(v[Slot::Ratio], -5.0);
    EXPECT_DOUBLE_EQ(v[Slot::OverallLength], 5.5 * d);
    const double required = 300.0 * 0.05;
    EXPECT_GE(Room(d, 5.0, 0.3048 + 0.3048 + 0.75 * d + 0.1524), required);
    const double smaller = d - 0.1524;
    EXPECT_LT(Room(smaller, 5.0, 0.3048 + 0.3048 + 0.75 * smaller + 0.1524), required);
}

TEST(SizeVerticalTest, FixedDiameterSearchesTheRatioFromThreeAndAHalf) {
    Vessel v(false, 0.01);
    v[Slot::Diameter] = -1.0;
    ASSERT_EQ(v.Size(), 0.0);
    const double r = v[Slot::Ratio];
    const double space = 0.3048 + 0.3048 + 0.75 + 0.1524;
    EXPECT_GE(r, 3.5);
    EXPECT_EQ(std::fmod(r, 0.5), 0.0);
    EXPECT_GE(Room(1.0, r, space), 3.0);
    EXPECT_LT(Room(1.0, r - 0.5, space), 3.0);
    EXPECT_EQ(v[Slot::Diameter], -1.0);
    EXPECT_DOUBLE_EQ(v[Slot::OverallLength], r + 0.5);
}

TEST(SizeVerticalTest, FixedRatioGrowsTheDiameter) {
    Vessel v(false, 0.05);
    v[Slot::Ratio] = -4.0;
    ASSERT_EQ(v.Size(), 0.0);
    const double d = v[Slot::Diameter];
    EXPECT_EQ(v[Slot::Ratio], -4.0);
    EXPECT_DOUBLE_EQ(v[Slot::OverallLength], 4.5 * d);
    EXPECT_GE(Room(d, 4.0, 0.3048 + 0.3048 + 0.75 * d + 0.1524), 15.0);
    const double smaller = d - 0.1524;
    EXPECT_LT(Room(smaller, 4.0, 0.3048 + 0.3048 + 0.75 * smaller + 0.1524), 15.0);
}

TEST(SizeVerticalTest, GivenHeavyLevelStartsTheRatioSearchAtThree) {
    Vessel v(true);
    v[Slot::HeavyLevel] = -0.3;
    ASSERT_EQ(v.Size(), 0.0);
    EXPECT_EQ(v[Slot::HeavyLevel], -0.3);
    EXPECT_GE(v[Slot::Ratio], 3.0);
    EXPECT_EQ(std::fmod(v[Slot::Ratio], 0.5), 0.0);
    EXPECT_LT(v[Slot::HeavyResidenceTime], 0.0) << "the heavy time derived from the level is marked";
    EXPECT_EQ(v[Slot::FirstPassFlag], 1.0);
}

// Heavy level and light layer both given, a positive heavy time in place, no height or ratio:
// no share of the room is possible and the heavy time the host left is not marked.
TEST(SizeVerticalTest, GivenLevelsWithoutAHeightLeaveThePositiveHeavyTime) {
    Vessel v(true);
    v[Slot::HeavyLevel] = -0.4;
    v[Slot::LightLayerThickness] = -0.6;
    v[Slot::HeavyResidenceTime] = 500.0;
    ASSERT_EQ(v.Size(), 0.0);
    EXPECT_EQ(v[Slot::HeavyResidenceTime], 500.0);
    EXPECT_EQ(v[Slot::LightResidenceTime], -600.0);
    EXPECT_EQ(v[Slot::FirstPassFlag], 1.0);
    const double d = v[Slot::Diameter];
    EXPECT_NEAR(v[Slot::OverallLength], d / 4.0 + 0.3048 + 0.1524 + 0.75 * d + 0.3048 + 0.4 + 0.6, 1e-12);
}

TEST(SizeVerticalTest, TwoCallsWithoutMistEliminatorHalveTheVelocityTwice) {
    Vessel v(false);
    v[Slot::MistEliminatorHeight] = 0.0;
    v.Size();
    v.Size();
    EXPECT_EQ(v[Slot::VapourVelocity], 0.25);
}

struct FailureRow {
    const char* name;
    void (*arrange)(Vessel&);
    Slot emptied;  // slot the failure empties; Spare39 for none
};

const FailureRow kFailureRows[] = {
    {"LaterPassWithoutTimeOrLevel", [](Vessel& v) { v[Slot::FirstPassFlag] = 1.0; }, Slot::Spare39},
    {"LaterPassThreePhaseWithoutHeavyTimeOrLevel",
     [](Vessel& v) {
         v.feed.heavyLiquidVolumeFlow = 0.001;
         v[Slot::FirstPassFlag] = 1.0;
         v[Slot::LightResidenceTime] = -300.0;
     },
     Slot::Spare39},
    {"VelocityEmpty", [](Vessel& v) { v[Slot::VapourVelocity] = kEmptyValue; }, Slot::Diameter},
    {"VelocityZero", [](Vessel& v) { v[Slot::VapourVelocity] = 0.0; }, Slot::Diameter},
    {"VelocityNotANumber", [](Vessel& v) { v[Slot::VapourVelocity] = kNaN; }, Slot::Diameter},
    {"DiameterFromHeightAndRatioNotUsable",
     [](Vessel& v) {
         v[Slot::OverallLength] = -kInf;
         v[Slot::Ratio] = -2.0;
     },
     Slot::Diameter},
    {"DiameterSearchPastFortyMetres", [](Vessel& v) { v.feed.lightLiquidVolumeFlow = 1000.0; }, Slot::Diameter},
    {"RatioSearchPastForty",
     [](Vessel& v) {
         v.feed.lightLiquidVolumeFlow = 1.0;
         v[Slot::Diameter] = -1.0;
     },
     Slot::Ratio},
    {"FixedRatioDiameterSearchPastFortyMetres",
     [](Vessel& v) {
         v.feed.lightLiquidVolumeFlow = 1000.0;
         v[Slot::Ratio] = -3.0;
     },
     Slot::Diameter},
    {"LevelGivenRatioSearchPastForty",
     [](Vessel& v) {
         v.feed.lightLiquidVolumeFlow = 1.0;
         v.feed.heavyLiquidVolumeFlow = 0.001;
         v[Slot::HeavyLevel] = -0.1;
         v[Slot::Diameter] = -1.0;
     },
     Slot::Ratio},
    {"LevelGivenDiameterSearchPastFortyMetres",
     [](Vessel& v) {
         v.feed.lightLiquidVolumeFlow = 1000.0;
         v.feed.heavyLiquidVolumeFlow = 0.001;
         v[Slot::HeavyLevel] = -0.1;
     },
     Slot::Diameter},
    {"MinimumLevelAboveTheCylinder", [](Vessel& v) { v[Slot::MinimumLevel] = 50.0; }, Slot::Spare39},
    {"HugeFixedDiameterOverflowsTheHeight", [](Vessel& v) { v[Slot::Diameter] = -6.7e307; }, Slot::OverallLength},
    {"HugeFixedDiameterOverflowsTheMinimumLevel",
     [](Vessel& v) {
         v[Slot::Diameter] = -1.17e308;
         v[Slot::Ratio] = -3.0;
     },
     Slot::MinimumLevel},
    {"InfiniteFixedHeightLeavesNoFiniteClosure",
     [](Vessel& v) {
         v[Slot::OverallLength] = -kInf;
         v[Slot::Diameter] = -2.0;
         v[Slot::Ratio] = -3.0;
         v[Slot::LightLayerThickness] = -0.5;
     },
     Slot::Spare39},
};

class SizeVerticalFailureTest : public testing::TestWithParam<FailureRow> {};

TEST_P(SizeVerticalFailureTest, FailsAndLeavesTheFlagAlone) {
    Vessel v(false);
    GetParam().arrange(v);
    const double flag = v[Slot::FirstPassFlag];
    EXPECT_TRUE(IsEmpty(v.Size()));
    EXPECT_EQ(v[Slot::FirstPassFlag], flag);
    if (GetParam().emptied != Slot::Spare39) {
        EXPECT_TRUE(IsEmpty(v[GetParam().emptied]));
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, SizeVerticalFailureTest, testing::ValuesIn(kFailureRows),
                         [](const auto& rowInfo) { return std::string(rowInfo.param.name); });

struct UnusableFlowRow {
    const char* name;
    double vapour, light, heavy;
};

const UnusableFlowRow kUnusableFlowRows[] = {
    {"VapourNegative", -1.0, 0.001, kEmptyValue},  {"VapourNotANumber", kNaN, 0.001, kEmptyValue},
    {"VapourInfinite", kInf, 0.001, kEmptyValue},  {"LightZero", 1.0, 0.0, kEmptyValue},
    {"LightEmpty", 1.0, kEmptyValue, kEmptyValue}, {"LightNotANumber", 1.0, kNaN, kEmptyValue},
    {"HeavyNegative", 1.0, 0.001, -0.001},         {"HeavyInfinite", 1.0, 0.001, kInf},
    {"HeavyNotANumber", 1.0, 0.001, kNaN},
};

class SizeVerticalEntryTest : public testing::TestWithParam<UnusableFlowRow> {};

TEST_P(SizeVerticalEntryTest, RefusesBeforeWritingAnything) {
    Vessel v(false);
    v[Slot::MistEliminatorHeight] = 0.0;  // a run that got past the entry would halve slot 3
    v.feed.vapourVolumeFlow = GetParam().vapour;
    v.feed.lightLiquidVolumeFlow = GetParam().light;
    v.feed.heavyLiquidVolumeFlow = GetParam().heavy;
    const ArraySlots before = v.slots;
    EXPECT_TRUE(IsEmpty(v.Size()));
    EXPECT_TRUE(SameBits(v.slots, before));
}

INSTANTIATE_TEST_SUITE_P(Rows, SizeVerticalEntryTest, testing::ValuesIn(kUnusableFlowRows),
                         [](const auto& rowInfo) { return std::string(rowInfo.param.name); });

TEST(SizeVerticalTest, LaterPassFailureHasAlreadyHalvedTheVelocity) {
    Vessel v(false);
    v[Slot::MistEliminatorHeight] = 0.0;
    v[Slot::FirstPassFlag] = 1.0;
    EXPECT_TRUE(IsEmpty(v.Size()));
    EXPECT_EQ(v[Slot::VapourVelocity], 0.5);
    EXPECT_TRUE(IsEmpty(v[Slot::Diameter]));
}

// Diameter, height and layer fixed, all three allowances fixed: the stack is
// D/4 + 0.3048 + 0.3048 + 1.0 (layer) + 0 + 1.0 (disengagement) against the height.
struct ClosureRow {
    const char* name;
    double heightOverStack;
    bool sized;
};

const ClosureRow kClosureRows[] = {
    {"StackShorterThanTheVessel", 0.5, true},
    {"StackFiveMillimetresTaller", -0.005, true},
    {"StackTwoCentimetresTaller", -0.02, false},
};

class SizeVerticalClosureTest : public testing::TestWithParam<ClosureRow> {};

TEST_P(SizeVerticalClosureTest, AllowancesFixedToleratesOneCentimetre) {
    Vessel v(false);
    v[Slot::MistEliminatorHeight] = 0.0;
    v[Slot::Diameter] = -1.0;
    v[Slot::LightLayerThickness] = -1.0;
    v[Slot::DisengagementHeight] = -1.0;
    const double stack = 0.25 + 0.3048 + 0.3048 + 1.0 + 0.0 + 1.0;
    v[Slot::OverallLength] = -(stack + GetParam().heightOverStack);
    EXPECT_EQ(IsEmpty(v.Size()), !GetParam().sized);
    EXPECT_EQ(v[Slot::DisengagementHeight], -1.0);
    EXPECT_EQ(v[Slot::VapourAllowance], -0.3048);
    EXPECT_EQ(v[Slot::SecondVapourAllowance], -0.3048);
}

INSTANTIATE_TEST_SUITE_P(Rows, SizeVerticalClosureTest, testing::ValuesIn(kClosureRows),
                         [](const auto& rowInfo) { return std::string(rowInfo.param.name); });

TEST(SizeVerticalTest, ClosureThatWouldMakeTheSecondAllowanceNegativeLeavesItAndSucceeds) {
    Vessel v(false);
    v[Slot::MistEliminatorHeight] = 0.0;
    v[Slot::Diameter] = -1.0;
    v[Slot::LightLayerThickness] = -1.0;
    v[Slot::DisengagementHeight] = -1.0;
    v[Slot::SecondVapourAllowance] = 0.3048;  // positive: the path may adjust it
    v[Slot::OverallLength] = -(0.25 + 0.3048 + 1.0 + 1.0 - 0.1);
    EXPECT_EQ(v.Size(), 0.0);
    EXPECT_EQ(v[Slot::SecondVapourAllowance], 0.3048);
}

TEST(SizeVerticalTest, ClosureAdjustsTheFirstAllowanceThatIsNotFixed) {
    Vessel v(false);
    v[Slot::MistEliminatorHeight] = 0.0;
    v[Slot::Diameter] = -1.0;
    v[Slot::LightLayerThickness] = -1.0;
    v[Slot::DisengagementHeight] = -1.0;
    v[Slot::SecondVapourAllowance] = -0.3048;
    v[Slot::VapourAllowance] = 0.3048;
    v[Slot::OverallLength] = -4.0;
    ASSERT_EQ(v.Size(), 0.0);
    EXPECT_NEAR(v[Slot::VapourAllowance], 4.0 - 0.25 - 1.0 - 1.0 - 0.3048, 1e-12);
    EXPECT_NEAR(v[Slot::Ratio], 3.5, 1e-12);
}

TEST(SizeVerticalTest, PositiveMinimumLevelIsLeftInPlaceAndNotRaisedTo) {
    Vessel v(false);
    v[Slot::MinimumLevel] = 3.0;  // far above the liquid, below the cylinder top
    ASSERT_EQ(v.Size(), 0.0);
    EXPECT_EQ(v[Slot::MinimumLevel], 3.0);
    EXPECT_LT(v[Slot::LightLayerThickness], 3.0);
    EXPECT_EQ(v[Slot::LightResidenceTime], -300.0);
}

// A given ratio leaves the first-pass time unmarked until the end, so the level may be raised.
TEST(SizeVerticalTest, LowLiquidIsRaisedToTheMinimumLevelAndItsTimeFollows) {
    Vessel v(false, 1e-6);
    v[Slot::Ratio] = -3.0;
    ASSERT_EQ(v.Size(), 0.0);
    const double d = v[Slot::Diameter];
    const double h9 = std::ceil((d / 4.0 + 0.3048) * 6.561679790026246) * 0.1524;
    EXPECT_DOUBLE_EQ(v[Slot::MinimumLevel], h9);
    EXPECT_DOUBLE_EQ(v[Slot::LightLayerThickness], h9);
    // The time now belongs to the raised level, far longer than the default.
    EXPECT_LT(v[Slot::LightResidenceTime], -300.0);
}

TEST(SizeVerticalTest, ThreePhaseLowLiquidSharesTheMinimumLevelByFlow) {
    // A short vessel: the room shared on the first pass ends below the minimum level.
    Vessel v(true, 1e-6, 3e-6);
    v[Slot::Diameter] = -0.4572;
    v[Slot::Ratio] = -3.0;
    ASSERT_EQ(v.Size(), 0.0);
    EXPECT_LT(v[Slot::HeavyResidenceTime], 0.0);
    const double h9 = v[Slot::MinimumLevel];
    EXPECT_NEAR(v[Slot::HeavyLevel] + v[Slot::LightLayerThickness], h9, 1e-12);
    EXPECT_NEAR(v[Slot::LightLayerThickness], h9 * 0.25, 1e-12);
}

// Through the object: the heavy-liquid flow is the host's again after every exit.
struct ObjectRun {
    SizingObject* object = CreateSizingObject();
    ~ObjectRun() {
        if (object != nullptr) object->Release();
    }
    void Load(const Vessel& v) {
        object->SetVapourVolumeFlow(v.feed.vapourVolumeFlow);
        object->SetLightLiquidVolumeFlow(v.feed.lightLiquidVolumeFlow);
        object->SetHeavyLiquidVolumeFlow(v.feed.heavyLiquidVolumeFlow);
        object->SetLightLiquidDensity(v.feed.lightLiquidDensity);
        object->SetHeavyLiquidDensity(v.feed.heavyLiquidDensity);
        object->SetTemperature(v.feed.temperature);
        object->AllocValues(kSlotCount);
        for (int i = 1; i <= kLastWritableSlot; ++i) object->SetValue(v.slots.values[i - 1], i);
    }
    ArraySlots Snapshot() {
        ArraySlots s;
        for (int i = 1; i <= kSlotCount; ++i) s.values[i - 1] = object->GetValue(i);
        return s;
    }
};

TEST(SizeVerticalObjectTest, ZeroHeavyFlowIsTwoPhaseAfterTheCaseAndComesBack) {
    Vessel v(true, 0.001, 0.0);
    ObjectRun run;
    ASSERT_NE(run.object, nullptr);
    run.Load(v);
    ASSERT_EQ(run.object->SizeVertical(), 0.0);
    EXPECT_EQ(run.object->Inputs().heavyLiquidVolumeFlow, 0.0);
    // Counted as a heavy liquid at first: its default time was taken, and left unmarked.
    EXPECT_EQ(run.object->GetValue(Index(Slot::HeavyResidenceTime)), 600.0);
    EXPECT_EQ(run.object->GetValue(Index(Slot::LightResidenceTime)), -600.0);
    EXPECT_TRUE(IsEmpty(run.object->GetValue(Index(Slot::HeavyLevel))));
}

TEST(SizeVerticalObjectTest, FailedSearchRestoresTheHeavyFlow) {
    Vessel v(false, 1000.0);
    ObjectRun run;
    ASSERT_NE(run.object, nullptr);
    run.Load(v);
    EXPECT_TRUE(IsEmpty(run.object->SizeVertical()));
    EXPECT_TRUE(IsEmpty(run.object->Inputs().heavyLiquidVolumeFlow));
}

TEST(SizeVerticalObjectTest, InterfaceEqualsTheCoreFunction) {
    for (bool heavy : {false, true}) {
        Vessel v(heavy, 0.02);
        ObjectRun run;
        ASSERT_NE(run.object, nullptr);
        run.Load(v);
        ArraySlots core = run.Snapshot();
        const double viaCore = SizeVertical(run.object->Inputs(), core);
        EXPECT_EQ(run.object->SizeVertical(), viaCore);
        EXPECT_TRUE(SameBits(run.Snapshot(), core)) << (heavy ? "three-phase" : "two-phase");
    }
}

struct CalculateRow {
    const char* name;
    double heavyMassFlow;
};

const CalculateRow kCalculateRows[] = {{"TwoPhase", 0.0}, {"ThreePhase", 2500.0}};

class VerticalCalculateTest : public testing::TestWithParam<CalculateRow> {};

TEST_P(VerticalCalculateTest, GivesACompleteVector) {
    ObjectRun run;
    ASSERT_NE(run.object, nullptr);
    SizingObject& o = *run.object;
    testing_support::SetProcessFeed(o, GetParam().heavyMassFlow);
    o.SetOrientation(0);
    ASSERT_EQ(o.Calculate(0), S_OK);
    const bool heavy = GetParam().heavyMassFlow > 0.0;

    for (Slot s : {Slot::Diameter, Slot::OverallLength, Slot::LightLayerThickness, Slot::MinimumLevel,
                   Slot::DisengagementHeight, Slot::WallThickness, Slot::VesselCost, Slot::PlatformCost, Slot::TotalCost}) {
        const double value = o.GetValue(Index(s));
        EXPECT_TRUE(std::isfinite(value) && value > 0.0) << kSlots[Index(s) - 1].name << " = " << value;
    }
    EXPECT_EQ(o.GetValue(Index(Slot::FirstPassFlag)), 1.0);
    EXPECT_LT(o.GetValue(Index(Slot::LightResidenceTime)), 0.0);
    const double ratio = std::fabs(o.GetValue(Index(Slot::Ratio)));
    EXPECT_NEAR((ratio + 0.5) * o.GetValue(Index(Slot::Diameter)), o.GetValue(Index(Slot::OverallLength)), 1e-9);
    if (heavy) {
        EXPECT_GT(o.GetValue(Index(Slot::HeavyLevel)), 0.0);
        EXPECT_LT(o.GetValue(Index(Slot::HeavyResidenceTime)), 0.0);
    } else {
        EXPECT_TRUE(IsEmpty(o.GetValue(Index(Slot::HeavyLevel))));
    }
    EXPECT_NEAR(o.GetValue(Index(Slot::TotalCost)), o.GetValue(Index(Slot::VesselCost)) + o.GetValue(Index(Slot::PlatformCost)), 1e-6);
}

INSTANTIATE_TEST_SUITE_P(Rows, VerticalCalculateTest, testing::ValuesIn(kCalculateRows),
                         [](const auto& rowInfo) { return std::string(rowInfo.param.name); });

}  // namespace
}  // namespace kestrol::vertical
