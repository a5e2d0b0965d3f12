// A host's floating-point control state must change neither its own fate nor the numbers: a
// host that unmasks exceptions survives the component's arithmetic, one that rounds another
// way or flushes denormals gets the same bits as any other, and each gets its state back.
#include <array>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "core/slots.h"
#include "model/object_handle.h"

#include "control_words.h"

#if defined(__i386__) || defined(__x86_64__)
#include <xmmintrin.h>

namespace kestrol {
namespace {

using testing_support::ControlState;
using testing_support::ReadControl;
using testing_support::WriteControl;

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

// MXCSR: rounding control (bits 13-14), flush-to-zero (bit 15), denormals-are-zero (bit 6).
constexpr unsigned kSseRoundUp = 0x4000, kSseRoundDown = 0x2000, kSseRoundTowardZero = 0x6000;
constexpr unsigned kSseRounding = 0x6000, kSseFlushToZero = 0x8000, kSseDenormalsAreZero = 0x0040;
// x87 control word: rounding control (bits 10-11) and precision control (bits 8-9).
constexpr unsigned short kX87RoundUp = 0x0800, kX87RoundDown = 0x0400, kX87RoundTowardZero = 0x0C00;
constexpr unsigned short kX87Rounding = 0x0C00, kX87Precision = 0x0300;
constexpr unsigned short kX87Double = 0x0200, kX87Extended = 0x0300, kX87Single = 0x0000;

// Round to nearest, 64-bit x87 precision, every exception masked, no flushing: the state the
// numbers are defined under.
constexpr ControlState kReference{0x037F, 0x1F80};

struct HostStateRow {
    const char* name;
    unsigned short x87Set;
    unsigned short x87Clear;
    unsigned sseSet;
    unsigned sseClear;
};
void PrintTo(const HostStateRow& row, std::ostream* os) { *os << row.name; }

ControlState Applied(const HostStateRow& row) {
    ControlState state = kReference;
    state.x87 = static_cast<unsigned short>((state.x87 & ~row.x87Clear) | row.x87Set);
    state.sse = (state.sse & ~row.sseClear) | row.sseSet;
    return state;
}

const HostStateRow kHostStates[] = {
    {"SseRoundUp", 0, 0, kSseRoundUp, 0},
    {"SseRoundDown", 0, 0, kSseRoundDown, 0},
    {"SseRoundTowardZero", 0, 0, kSseRoundTowardZero, 0},
    {"FlushToZero", 0, 0, kSseFlushToZero, 0},
    {"DenormalsAreZero", 0, 0, kSseDenormalsAreZero, 0},
    {"FastMathStartup", 0, 0, kSseFlushToZero | kSseDenormalsAreZero, 0},
    {"X87RoundUp", kX87RoundUp, kX87Rounding, 0, 0},
    {"X87RoundDown", kX87RoundDown, kX87Rounding, 0, 0},
    {"X87RoundTowardZero", kX87RoundTowardZero, kX87Rounding, 0, 0},
    {"X87DoublePrecision", kX87Double, kX87Precision, 0, 0},
    {"X87SinglePrecision", kX87Single, kX87Precision, 0, 0},
    {"EverythingAtOnceAndTrapping", kX87RoundUp | kX87Double, kX87Rounding | kX87Precision | 0x0D,
     kSseRoundUp | kSseFlushToZero | kSseDenormalsAreZero, 0x80u | 0x200u | 0x400u},
};

// Three feeds that take different paths; the last has no liquid, so Calculate asks the host's
// callback and the callback sees the state the component computes under.
struct Feed {
    double lightDensity, lightFlow, heavyDensity, heavyFlow, vapourDensity, vapourFlow, pressure;
    std::int32_t orientation;
};
const Feed kStateFeeds[] = {
    // A light liquid over a thin vapour whose minimum level sits near a step of 0.1524 m.
    {373.94, 173.21, kEmptyValue, kEmptyValue, 0.679, 7133.1, 356.77, 0},
    {780.0, 8000.0, 1010.0, 3000.0, 12.0, 5000.0, 2500.0, 1},
    {kEmptyValue, kEmptyValue, kEmptyValue, kEmptyValue, 10.0, 1000.0, 1000.0, 1},
};

thread_local ControlState seenInside{};
double STDMETHODCALLTYPE AnswerAndLook(std::int32_t code) {
    seenInside = ReadControl();
    return code == 0 ? 5.0 : 800.0;
}

using VectorBits = std::array<std::uint64_t, kSlotCount>;

// Sizes one feed under the given state and reads the vector back under the reference state.
VectorBits SizeUnder(const Feed& feed, const ControlState& state, ControlState& after) {
    host::ObjectHandle object = host::CreateSizingInstance();
    EXPECT_TRUE(object);
    if (!object) return {};
    object->SetLightLiquidDensity(feed.lightDensity);
    object->SetLightLiquidMassFlow(feed.lightFlow);
    object->SetHeavyLiquidDensity(feed.heavyDensity);
    object->SetHeavyLiquidMassFlow(feed.heavyFlow);
    object->SetVapourDensity(feed.vapourDensity);
    object->SetVapourMassFlow(feed.vapourFlow);
    object->SetPressure(feed.pressure);
    object->SetTemperature(40.0);
    object->SetAuxiliaryValue1(1.0);
    object->SetPropertyCallback(&AnswerAndLook);
    object->SetOrientation(feed.orientation);
    const ControlState host = ReadControl();
    WriteControl(state);
    EXPECT_EQ(object->Calculate(0), S_OK);
    after = ReadControl();
    WriteControl(host);
    VectorBits bits{};
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        const double value = object->GetValue(slot);
        std::memcpy(&bits[slot - 1], &value, sizeof value);
    }
    return bits;
}

class HostStateTest : public testing::TestWithParam<HostStateRow> {};

TEST_P(HostStateTest, SameBitsAsUnderTheReferenceStateAndTheHostsStateBack) {
    const ControlState state = Applied(GetParam());
    for (const Feed& feed : kStateFeeds) {
        SCOPED_TRACE(testing::Message() << "feed with vapour flow " << feed.vapourFlow);
        ControlState after{};
        const VectorBits expected = SizeUnder(feed, kReference, after);
        const VectorBits bits = SizeUnder(feed, state, after);
        EXPECT_EQ(after, state) << "the host's control words come back";
        for (int slot = 1; slot <= kSlotCount; ++slot) {
            double mine, reference;
            std::memcpy(&mine, &bits[slot - 1], sizeof mine);
            std::memcpy(&reference, &expected[slot - 1], sizeof reference);
            EXPECT_EQ(bits[slot - 1], expected[slot - 1]) << "slot " << slot << ": " << mine << " vs " << reference;
        }
    }
    // The last feed asked the host: inside, every exception masked, round to nearest, nothing
    // flushed; where the guard owns the x87 unit, also 64-bit precision.
    EXPECT_EQ(seenInside.sse & (kSseRounding | kSseFlushToZero | kSseDenormalsAreZero), 0u);
    EXPECT_EQ(seenInside.sse & 0x1F80u, 0x1F80u);
#if !(defined(__x86_64__) && defined(__GLIBC__))
    EXPECT_EQ(seenInside.x87 & (kX87Rounding | kX87Precision), kX87Extended);
    EXPECT_EQ(seenInside.x87 & 0x3F, 0x3F);
#endif
}

INSTANTIATE_TEST_SUITE_P(HostStates, HostStateTest, testing::ValuesIn(kHostStates),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace kestrol
#endif
