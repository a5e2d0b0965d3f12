#include <cfenv>

#include <gtest/gtest.h>

#include "object_fixture.h"

namespace kestrol {
namespace {

#if defined(__GLIBC__)
// A host that traps on invalid operations and division by zero: the component must run its
// calculations untrapped and hand the host's own state back.
class TrappingHostTest : public testing::Test {
protected:
    static constexpr int kTraps = FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW;
    void SetUp() override {
        std::feclearexcept(FE_ALL_EXCEPT);
        feenableexcept(kTraps);
    }
    void TearDown() override {
        fedisableexcept(FE_ALL_EXCEPT);
        std::feclearexcept(FE_ALL_EXCEPT);
    }
};

TEST_F(TrappingHostTest, CalculateWithPoisonedFeedDoesNotTrap) {
    auto object = testing_support::NewObject();
    testing_support::SetTwoPhaseFeed(*object);
    object->SetLightLiquidDensity(0.0);  // a 0/0 and an x/0 in the flows
    object->SetLightLiquidMassFlow(0.0 + 1.0);
    object->SetOrientation(0);
    object->Calculate(0);
    object->SizeHorizontalVessel();
    double holdup = kEmptyValue;
    object->CalcVerticalLevels(&holdup);
    object->CalcHorizontalLevelTime();
    object->PresetOptions();
    EXPECT_EQ(fegetexcept(), kTraps);
    EXPECT_EQ(std::fetestexcept(FE_ALL_EXCEPT), 0);
}
#endif

}  // namespace
}  // namespace kestrol
