#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <new>
#include <string>

#include <gtest/gtest.h>

#include "row_name.h"

#include "object_fixture.h"

// The object allocates its vector with nothrow new[]; this executable can make that fail.
namespace {
bool failVectorAllocation = false;
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    if (failVectorAllocation) return nullptr;
    return std::malloc(size == 0 ? 1 : size);
}
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace kestrol {
namespace {

using testing_support::InputsOf;
using testing_support::NewObject;
using testing_support::SetTwoPhaseFeed;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

double answers[2] = {kEmptyValue, kEmptyValue};
int callbackCalls = 0;
double STDMETHODCALLTYPE Answer(std::int32_t code) {
    ++callbackCalls;
    return (code == 0 || code == 1) ? answers[code] : kEmptyValue;
}

class CalculateTest : public testing::Test {
protected:
    void SetUp() override {
        answers[0] = answers[1] = kEmptyValue;
        callbackCalls = 0;
        object_ = NewObject();
        object_->SetPropertyCallback(&Answer);
    }
    ISeparatorSizing& object() { return *object_; }
    host::ObjectHandle object_;
};

// Each row spoils the two-phase feed in one way; the checks run in their documented order.
struct CheckRow {
    const char* name;
    void (*spoil)(ISeparatorSizing&);
    HRESULT expected;
};
const CheckRow kCheckRows[] = {
    {"NoFlowAtAll", [](ISeparatorSizing& o) { o.SetLightLiquidMassFlow(kEmptyValue); o.SetVapourMassFlow(kEmptyValue); }, SIZING_E_NOFLOW},
    {"NaNFlowFailsTheSum", [](ISeparatorSizing& o) { o.SetLightLiquidMassFlow(kNaN); }, SIZING_E_NOFLOW},
    {"FlowBeforeAuxiliary", [](ISeparatorSizing& o) { o.SetLightLiquidMassFlow(-10000.0); o.SetVapourMassFlow(5000.0); o.SetAuxiliaryValue1(0.0); }, SIZING_E_NOFLOW},
    {"OnlyLiquidFlows", [](ISeparatorSizing& o) { o.SetVapourMassFlow(kEmptyValue); }, SIZING_E_NOVAPOUR},
    {"AuxiliaryUnset", [](ISeparatorSizing& o) { o.SetAuxiliaryValue1(kEmptyValue); }, SIZING_E_NOVAPOUR},
    {"AuxiliaryZero", [](ISeparatorSizing& o) { o.SetAuxiliaryValue1(0.0); }, SIZING_E_NOVAPOUR},
    {"AuxiliaryNaN", [](ISeparatorSizing& o) { o.SetAuxiliaryValue1(kNaN); }, SIZING_E_NOVAPOUR},
    {"NegativeVapour", [](ISeparatorSizing& o) { o.SetVapourMassFlow(-1.0); }, SIZING_E_NOVAPOUR},
    {"TemperatureUnset", [](ISeparatorSizing& o) { o.SetTemperature(kEmptyValue); }, SIZING_E_MISSINGINPUT},
    {"PressureUnset", [](ISeparatorSizing& o) { o.SetPressure(kEmptyValue); }, SIZING_E_MISSINGINPUT},
    {"PressureInfinite", [](ISeparatorSizing& o) { o.SetPressure(kInf); }, SIZING_E_MISSINGINPUT},
    {"VapourFlowInfinite", [](ISeparatorSizing& o) { o.SetVapourMassFlow(kInf); }, SIZING_E_MISSINGINPUT},
    {"VapourDensityUnset", [](ISeparatorSizing& o) { o.SetVapourDensity(kEmptyValue); }, SIZING_E_MISSINGINPUT},
    {"VapourDensityNaN", [](ISeparatorSizing& o) { o.SetVapourDensity(kNaN); }, SIZING_E_MISSINGINPUT},
    {"NoLiquidNoPercent", [](ISeparatorSizing& o) { o.SetLightLiquidMassFlow(kEmptyValue); }, SIZING_E_NOPERCENT},
    {"LiquidDenserThanNothingPresetFails", [](ISeparatorSizing& o) { o.SetLightLiquidDensity(5.0); }, SIZING_E_PRESET},
    {"OrientationNeverSet", [](ISeparatorSizing&) {}, SIZING_E_ORIENTATION},
};
class CalculateCheckTest : public CalculateTest, public testing::WithParamInterface<CheckRow> {};
TEST_P(CalculateCheckTest, ReturnsTheFirstFailingCheck) {
    SetTwoPhaseFeed(object());
    GetParam().spoil(object());
    EXPECT_EQ(object().Calculate(0), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(Rows, CalculateCheckTest, testing::ValuesIn(kCheckRows), testing_support::RowName());

TEST_F(CalculateTest, NoVectorWhenStorageCannotBeHad) {
    SetTwoPhaseFeed(object());
    failVectorAllocation = true;
    const HRESULT hr = object().Calculate(0);
    failVectorAllocation = false;
    EXPECT_EQ(hr, SIZING_E_NOVECTOR);
    EXPECT_FALSE(testing_support::HasVector(object()));
}

TEST_F(CalculateTest, MissingVectorIsCreatedAndOrientationStoredAsEmpty) {
    SetTwoPhaseFeed(object());
    EXPECT_EQ(object().Calculate(0), SIZING_E_ORIENTATION);
    EXPECT_EQ(object().GetValue(14), kEmptyValue);
    EXPECT_EQ(object().GetValue(15), 252.5);  // the presets ran
}

TEST_F(CalculateTest, NoLiquidWorkedExample) {
    object().SetVapourMassFlow(1000.0);
    object().SetVapourDensity(10.0);
    object().SetPressure(1000.0);
    object().SetTemperature(40.0);
    object().SetAuxiliaryValue1(1.0);
    object().SetHeavyLiquidMassFlow(200.0);
    object().SetHeavyLiquidDensity(1000.0);
    object().SetOrientation(0);
    answers[0] = 5.0;
    answers[1] = 800.0;
    EXPECT_EQ(object().Calculate(0), S_OK);
    const StreamState& in = InputsOf(object());
    EXPECT_EQ(in.assumedLiquidPercent, 5.0);
    EXPECT_EQ(in.lightLiquidDensity, 800.0);
    EXPECT_NEAR(in.lightLiquidMassFlow, 50.0, 1e-12);
    EXPECT_NEAR(in.vapourMassFlow, 950.0, 1e-12);
    EXPECT_NEAR(in.vapourVolumeFlow, 0.0263889, 5e-8);
    EXPECT_NEAR(in.lightLiquidVolumeFlow, 1.73611e-05, 5e-11);
    EXPECT_NEAR(in.heavyLiquidVolumeFlow, 5.55556e-05, 5e-11);

    // The assumed liquid is now a flow of its own: the host is not asked again.
    callbackCalls = 0;
    EXPECT_EQ(object().Calculate(0), S_OK);
    EXPECT_EQ(callbackCalls, 0);
}

struct PercentRow {
    const char* name;
    double answer;
    HRESULT expected;
    double storedPercent;
};
const PercentRow kPercentRows[] = {
    {"AboveRangeClampedToTen", 20.0, S_OK, 10.0},
    {"BelowRangeClampedToHalf", 0.1, S_OK, 0.5},
    {"MinusInfinityClampedToHalf", -kInf, S_OK, 0.5},
    {"EmptyRefused", kEmptyValue, SIZING_E_NOPERCENT, kEmptyValue},
    {"NaNRefused", kNaN, SIZING_E_NOPERCENT, kEmptyValue},
};
class AssumedPercentTest : public CalculateTest, public testing::WithParamInterface<PercentRow> {};
TEST_P(AssumedPercentTest, ClampsOrRefusesTheHostsPercent) {
    SetTwoPhaseFeed(object());
    object().SetLightLiquidMassFlow(kEmptyValue);
    object().SetOrientation(0);
    answers[0] = GetParam().answer;
    answers[1] = 700.0;
    EXPECT_EQ(object().Calculate(0), GetParam().expected);
    EXPECT_EQ(InputsOf(object()).assumedLiquidPercent, GetParam().storedPercent);
}
INSTANTIATE_TEST_SUITE_P(Rows, AssumedPercentTest, testing::ValuesIn(kPercentRows), testing_support::RowName());

TEST_F(CalculateTest, PresetPercentIsUsedUnclamped) {
    SetTwoPhaseFeed(object());
    object().SetLightLiquidMassFlow(kEmptyValue);
    object().SetAssumedLiquidPercent(25.0);
    object().SetOrientation(0);
    answers[1] = 700.0;
    EXPECT_EQ(object().Calculate(0), S_OK);
    EXPECT_EQ(InputsOf(object()).lightLiquidMassFlow, 5000.0 * 25.0 * 0.01);
    EXPECT_EQ(InputsOf(object()).vapourMassFlow, 75.0 * 0.01 * 5000.0);
    EXPECT_EQ(callbackCalls, 1);  // the density only
}

TEST_F(CalculateTest, RefusedDensityStaysInTheInput) {
    SetTwoPhaseFeed(object());
    object().SetLightLiquidMassFlow(0.0);
    answers[0] = 5.0;
    answers[1] = 0.0001;
    EXPECT_EQ(object().Calculate(0), SIZING_E_NOLIQUIDDENSITY);
    EXPECT_EQ(InputsOf(object()).lightLiquidDensity, 0.0001);
}

TEST_F(CalculateTest, MissingCallbackActsAsEmptyAnswer) {
    SetTwoPhaseFeed(object());
    object().SetPropertyCallback(nullptr);
    object().SetLightLiquidMassFlow(kEmptyValue);
    EXPECT_EQ(object().Calculate(0), SIZING_E_NOPERCENT);
    object().SetAssumedLiquidPercent(5.0);
    EXPECT_EQ(object().Calculate(0), SIZING_E_NOLIQUIDDENSITY);
}

TEST_F(CalculateTest, LeastLiquidFlowIsNotANoLiquidCase) {
    SetTwoPhaseFeed(object());
    object().SetLightLiquidMassFlow(0.01);
    object().SetOrientation(0);
    EXPECT_EQ(object().Calculate(0), S_OK);
    EXPECT_EQ(callbackCalls, 0);
}

TEST_F(CalculateTest, ZeroHeavyFlowMakesTheCaseTwoPhase) {
    SetTwoPhaseFeed(object());
    object().SetHeavyLiquidMassFlow(0.0);
    object().SetHeavyLiquidDensity(1000.0);
    object().SetOrientation(0);
    EXPECT_EQ(object().Calculate(0), S_OK);
    EXPECT_EQ(InputsOf(object()).heavyLiquidVolumeFlow, kEmptyValue);
}

struct OrientationRow {
    const char* name;
    double stored;
    HRESULT expected;
    double after;
};
const OrientationRow kOrientationRows[] = {
    {"FractionTruncatedToHorizontal", 1.7, S_OK, 1.0},
    {"SmallNegativeTruncatedToVertical", -0.5, S_OK, 0.0},
    {"Two", 2.0, SIZING_E_ORIENTATION, 2.0},
    {"NaNIsNoOrientation", kNaN, SIZING_E_ORIENTATION, -2147483648.0},
    {"HugeIsNoOrientation", 1e12, SIZING_E_ORIENTATION, -2147483648.0},
};
class CalculateOrientationTest : public CalculateTest, public testing::WithParamInterface<OrientationRow> {};
TEST_P(CalculateOrientationTest, StoresTheIntegerPartBackAndDispatchesOnIt) {
    SetTwoPhaseFeed(object());
    object().GetVectorPointer();
    object().SetValue(GetParam().stored, 14);
    EXPECT_EQ(object().Calculate(0), GetParam().expected);
    EXPECT_EQ(object().GetValue(14), GetParam().after);
}
INSTANTIATE_TEST_SUITE_P(Rows, CalculateOrientationTest, testing::ValuesIn(kOrientationRows), testing_support::RowName());

TEST_F(CalculateTest, FailedPathStillSucceedsAndMarksThePercent) {
    SetTwoPhaseFeed(object());
    object().SetOrientation(0);
    object().SetAssumedLiquidPercent(3.0);
    object().SetLightLiquidMassFlow(1e30);  // no vessel up to the largest diameter holds it
    EXPECT_EQ(object().Calculate(0), S_OK);
    EXPECT_EQ(object().GetValue(1), kEmptyValue);
    EXPECT_EQ(object().GetValue(35), 3.0);
}

TEST_F(CalculateTest, HostVectorContentsDoNotReachTheSizing) {
    SetTwoPhaseFeed(object());
    object().SetOrientation(0);
    object().SetValue(-2.0, 1);
    object().SetValue(9.0, 17);
    object().Calculate(0);
    EXPECT_NE(object().GetValue(1), -2.0);
    EXPECT_EQ(object().GetValue(17), 1.0);
}

}  // namespace
}  // namespace kestrol
