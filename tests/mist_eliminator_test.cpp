// Slot 12 through the object's interface, in both orientations: 0 means no mist eliminator,
// anything greater an eliminator, and a height that is not a number neither of the two.
#include <limits>

#include <gtest/gtest.h>

#include "object_fixture.h"
#include "row_name.h"

namespace kestrol {
namespace {

using testing_support::NewObject;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A small wet gas: its vapour-velocity diameter is the smallest step, 0.1524 m.
host::ObjectHandle SmallWetGas(int orientation, double mistEliminator) {
    host::ObjectHandle object = NewObject();
    object->SetVapourMassFlow(24.309);
    object->SetVapourDensity(0.5253);
    object->SetLightLiquidMassFlow(4513.1);
    object->SetLightLiquidDensity(979.35);
    object->SetPressure(617.41);
    object->SetTemperature(19.563);
    object->SetAuxiliaryValue1(1.0);
    object->SetVapourVolumeFlow(0.012854559299447935);
    object->SetLightLiquidVolumeFlow(0.0012800723836104446);
    object->SetOrientation(orientation);
    object->PresetOptions();
    object->SetValue(mistEliminator, 12);
    return object;
}

struct VelocityRow {
    const char* name;
    int orientation;
    double mistEliminator;  // slot 12 [m]
    double factor;          // slot 3 after sizing over slot 3 before
};

const VelocityRow kVelocityRows[] = {
    {"VerticalWithoutEliminatorHalves", 0, 0.0, 0.5},
    {"VerticalWithEliminatorKeeps", 0, 0.1524, 1.0},
    {"VerticalNaNKeeps", 0, kNaN, 1.0},
    {"HorizontalWithoutEliminatorSlows", 1, 0.0, 0.625},
    {"HorizontalWithEliminatorSpeedsUp", 1, 0.1524, 1.25},
    {"HorizontalNaNKeeps", 1, kNaN, 1.0},
};

class MistEliminatorVelocityTest : public testing::TestWithParam<VelocityRow> {};

TEST_P(MistEliminatorVelocityTest, ScalesTheVelocityOnlyForAnAnswerItCanRead) {
    const VelocityRow& row = GetParam();
    host::ObjectHandle object = SmallWetGas(row.orientation, row.mistEliminator);
    const double before = object->GetValue(3);
    ASSERT_GT(before, 0.0);
    if (row.orientation == 0) {
        object->SizeVertical();
    } else {
        object->SizeHorizontalVessel();
    }
    EXPECT_EQ(object->GetValue(3), before * row.factor);
}

INSTANTIATE_TEST_SUITE_P(Rows, MistEliminatorVelocityTest, testing::ValuesIn(kVelocityRows), testing_support::RowName());

// The vertical path with a NaN height: the velocity as preset, and the disengagement height
// three quarters of the diameter, below both least heights.
TEST(MistEliminatorTest, VerticalNaNHeightKeepsTheVelocityAndSetsNoLeastDisengagement) {
    host::ObjectHandle object = SmallWetGas(0, kNaN);
    object->SizeVertical();
    EXPECT_EQ(object->GetValue(1), 0.1524);
    EXPECT_EQ(object->GetValue(3), 1.8420090428632425);
    EXPECT_EQ(object->GetValue(11), 0.11430000000000001);
}

}  // namespace
}  // namespace kestrol
