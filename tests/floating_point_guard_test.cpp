// A host that unmasks floating-point exceptions must survive the component's arithmetic and
// get its own control state back.
#include <cstdint>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "host/object_handle.h"

#if defined(__i386__) || defined(__x86_64__)
#include <xmmintrin.h>

namespace kestrol {
namespace {

struct ControlState {
    unsigned short x87;
    unsigned int sse;  ///< without the status flags
    bool operator==(const ControlState& other) const { return x87 == other.x87 && sse == other.sse; }
};
void PrintTo(const ControlState& state, std::ostream* os) { *os << std::hex << state.x87 << "/" << state.sse; }

ControlState ReadControl() {
    ControlState state{};
    __asm__ __volatile__("fnstcw %0" : "=m"(state.x87));
    state.sse = _mm_getcsr() & ~0x3Fu;
    return state;
}

void WriteControl(const ControlState& state) {
    __asm__ __volatile__("fnclex\n\tfldcw %0" : : "m"(state.x87));
    _mm_setcsr(state.sse);
}

// What a simulator does: trap on invalid operations, division by zero and overflow.
ControlState Unmasked(ControlState state) {
    state.x87 = static_cast<unsigned short>(state.x87 & ~(0x01 | 0x04 | 0x08));
    state.sse &= ~(0x80u | 0x200u | 0x400u);
    return state;
}

struct FeedRow {
    const char* name;
    double lightLiquidDensity;
    double lightLiquidMassFlow;
    HRESULT expected;
};
void PrintTo(const FeedRow& row, std::ostream* os) { *os << row.name; }

const FeedRow kFeeds[] = {
    {"Ordinary", 800.0, 10000.0, S_OK},
    // The volume flow divides by the density before any check refuses the feed.
    {"ZeroLiquidDensity", 0.0, 10000.0, SIZING_E_PRESET},
    {"NegativeLiquidDensity", -1.0, 10000.0, SIZING_E_PRESET},
};

class FloatingPointGuardTest : public testing::TestWithParam<FeedRow> {};

TEST_P(FloatingPointGuardTest, UnmaskedHostSurvivesAndKeepsItsControlState) {
    host::ObjectHandle object = host::CreateSizingInstance();
    ASSERT_TRUE(object);
    object->SetLightLiquidDensity(GetParam().lightLiquidDensity);
    object->SetLightLiquidMassFlow(GetParam().lightLiquidMassFlow);
    object->SetVapourDensity(10.0);
    object->SetVapourMassFlow(5000.0);
    object->SetPressure(1000.0);
    object->SetTemperature(40.0);
    object->SetAuxiliaryValue1(1.0);
    object->SetOrientation(0);

    const ControlState host = ReadControl();
    const ControlState trapping = Unmasked(host);
    WriteControl(trapping);
    const HRESULT hr = object->Calculate(0);
    const unsigned int flagsAfter = _mm_getcsr() & 0x3Fu;
    const ControlState after = ReadControl();
    WriteControl(host);

    EXPECT_EQ(hr, GetParam().expected);
    EXPECT_EQ(after, trapping);
    EXPECT_EQ(flagsAfter, 0u) << "status flags raised inside are not handed to the host";
}

INSTANTIATE_TEST_SUITE_P(Feeds, FloatingPointGuardTest, testing::ValuesIn(kFeeds),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace kestrol
#endif
