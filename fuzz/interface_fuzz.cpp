// Turns arbitrary bytes into a sequence of interface calls on one object, the way a host
// driven by a flash calculation might: any double, any index, any count, in any order. Besides
// the sanitizers it checks one property: no calculation writes a non-finite number into a
// result slot, where it would pass for a value.
//
// With KESTROL_FUZZ_TRACE set, the decoded calls are printed as a host script (`kestrol run`),
// so that a finding can be replayed and cut down outside the fuzzer.
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "sizing/sizing_object.h"

namespace {

using kestrol::ISeparatorSizing;
using kestrol::kEmptyValue;

/// Calls per input, and of them calculations: enough to reach every path after any
/// preparation, bounded so that one input stays within 100 ms under the sanitizers even when
/// every calculation runs its longest search to the end.
constexpr int kMaxCalls = 32;
constexpr int kMaxCalculations = 6;

class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Empty() const { return position_ >= size_; }
    std::uint8_t Byte() { return Empty() ? 0 : data_[position_++]; }
    std::int32_t Integer() {
        switch (Byte() % 4) {
            case 0: return static_cast<std::int8_t>(Byte());  // small, often a valid index
            case 1: return Byte() % 41;
            case 2: return std::numeric_limits<std::int32_t>::min() + Byte();
            default: {
                std::uint32_t raw = 0;
                for (int i = 0; i < 4; ++i) raw = (raw << 8) | Byte();
                std::int32_t value;
                std::memcpy(&value, &raw, sizeof value);
                return value;
            }
        }
    }
    double Number() {
        static constexpr double kSpecial[] = {
            std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
            -std::numeric_limits<double>::infinity(), kEmptyValue, 0.0, -0.0,
            std::numeric_limits<double>::denorm_min(), 1e-310, 1e300, -1e300, 1e-12, 0.3048, -0.3048, 1.0, -1.0,
            0.5, 2.0, 3.0, -3.0, 40.0, 300.0, -600.0, 1000.0, 800.0, 10.0, 5000.0, 1e6, 0.001, 0.0001, 4.572};
        const std::uint8_t choice = Byte();
        if (choice < 200) return kSpecial[choice % (sizeof kSpecial / sizeof kSpecial[0])];
        std::uint64_t raw = 0;
        for (int i = 0; i < 8; ++i) raw = (raw << 8) | Byte();
        double value;
        std::memcpy(&value, &raw, sizeof value);
        return value;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t position_ = 0;
};

enum class Kind {
    Setter, Callback, WriteSlot39, SetOrientation, PresetOptions, SizeVertical, SizeHorizontalVessel,
    SetValue, GetValue, ClearValues, CalcVerticalLevels, CalcHorizontalLevelTime, AllocValues, Calculate,
};

struct Step {
    Kind kind;
    int setter = 0;  // which of the fourteen
    double number = 0.0;
    double second = 0.0;
    std::int32_t integer = 0;
    bool flag = false;  // callback removed, or a null hold-up time pointer
};

using Setter = void (*)(ISeparatorSizing&, double);
struct NamedSetter {
    const char* name;
    Setter set;
};
const NamedSetter kSetters[] = {
    {"SetLightLiquidDensity", [](ISeparatorSizing& o, double v) { o.SetLightLiquidDensity(v); }},
    {"SetLightLiquidMassFlow", [](ISeparatorSizing& o, double v) { o.SetLightLiquidMassFlow(v); }},
    {"SetHeavyLiquidDensity", [](ISeparatorSizing& o, double v) { o.SetHeavyLiquidDensity(v); }},
    {"SetHeavyLiquidMassFlow", [](ISeparatorSizing& o, double v) { o.SetHeavyLiquidMassFlow(v); }},
    {"SetPressure", [](ISeparatorSizing& o, double v) { o.SetPressure(v); }},
    {"SetTemperature", [](ISeparatorSizing& o, double v) { o.SetTemperature(v); }},
    {"SetVapourDensity", [](ISeparatorSizing& o, double v) { o.SetVapourDensity(v); }},
    {"SetVapourMassFlow", [](ISeparatorSizing& o, double v) { o.SetVapourMassFlow(v); }},
    {"SetLightLiquidVolumeFlow", [](ISeparatorSizing& o, double v) { o.SetLightLiquidVolumeFlow(v); }},
    {"SetHeavyLiquidVolumeFlow", [](ISeparatorSizing& o, double v) { o.SetHeavyLiquidVolumeFlow(v); }},
    {"SetVapourVolumeFlow", [](ISeparatorSizing& o, double v) { o.SetVapourVolumeFlow(v); }},
    {"SetAuxiliaryValue1", [](ISeparatorSizing& o, double v) { o.SetAuxiliaryValue1(v); }},
    {"SetAuxiliaryValue2", [](ISeparatorSizing& o, double v) { o.SetAuxiliaryValue2(v); }},
    {"SetAssumedLiquidPercent", [](ISeparatorSizing& o, double v) { o.SetAssumedLiquidPercent(v); }},
};
constexpr int kSetterCount = static_cast<int>(sizeof kSetters / sizeof kSetters[0]);

Step Decode(ByteReader& in) {
    const int choice = in.Byte() % 32;
    Step step{Kind::Calculate};
    if (choice < kSetterCount) {
        step.kind = Kind::Setter;
        step.setter = choice;
        step.number = in.Number();
        return step;
    }
    switch (choice) {
        case 14:
            step.kind = Kind::Callback;
            step.number = in.Number();
            step.second = in.Number();
            step.flag = in.Byte() % 4 == 0;
            break;
        case 15: step.kind = Kind::WriteSlot39; step.number = in.Number(); break;
        case 16: step.kind = Kind::SetOrientation; step.integer = in.Integer(); break;
        case 17: step.kind = Kind::PresetOptions; break;
        case 18: step.kind = Kind::SizeVertical; break;
        case 19: step.kind = Kind::SizeHorizontalVessel; break;
        case 20:
        case 21:
        case 22:
            step.kind = Kind::SetValue;
            step.number = in.Number();
            step.integer = in.Integer();
            break;
        case 23: step.kind = Kind::GetValue; step.integer = in.Integer(); break;
        case 24: step.kind = Kind::ClearValues; break;
        case 25:
            step.kind = Kind::CalcVerticalLevels;
            step.number = in.Number();
            step.flag = in.Byte() % 8 == 0;
            break;
        case 26: step.kind = Kind::CalcHorizontalLevelTime; break;
        case 27: step.kind = Kind::AllocValues; step.integer = in.Integer(); break;
        default: break;  // Calculate
    }
    return step;
}

bool IsCalculation(Kind kind) {
    return kind == Kind::PresetOptions || kind == Kind::SizeVertical || kind == Kind::SizeHorizontalVessel ||
           kind == Kind::CalcVerticalLevels || kind == Kind::CalcHorizontalLevelTime || kind == Kind::Calculate;
}

thread_local double callbackAnswers[2] = {kEmptyValue, kEmptyValue};
double STDMETHODCALLTYPE Answer(std::int32_t code) {
    return (code == 0 || code == 1) ? callbackAnswers[code] : kEmptyValue;
}

// Results a calculation may write; a non-finite number there would pass for a value.
constexpr int kResultSlots[] = {1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 13, 33, 34, 36, 37, 38};

std::array<std::uint64_t, 40> ResultBits(ISeparatorSizing& o) {
    std::array<std::uint64_t, 40> bits{};
    for (int slot : kResultSlots) {
        const double v = o.GetValue(slot);
        std::memcpy(&bits[slot], &v, sizeof v);
    }
    return bits;
}

/// Stops the run when the call wrote a non-finite number into a result slot.
template <class Call>
void CheckedCalculation(ISeparatorSizing& o, Call call) {
    const auto before = ResultBits(o);
    call();
    for (int slot : kResultSlots) {
        const double v = o.GetValue(slot);
        std::uint64_t bits;
        std::memcpy(&bits, &v, sizeof v);
        double was;
        std::memcpy(&was, &before[slot], sizeof was);
        // Marking a host's NaN or infinity as fixed flips only its sign: still the host's value.
        const bool hostValueMarked = std::fabs(v) == std::fabs(was) || (std::isnan(v) && std::isnan(was));
        if (bits != before[slot] && !std::isfinite(v) && !hostValueMarked) {
            std::fprintf(stderr, "non-finite value written into slot %d: %g, was %g\n", slot, v, was);
            __builtin_trap();
        }
    }
}

void Execute(ISeparatorSizing& o, const Step& step) {
    switch (step.kind) {
        case Kind::Setter: kSetters[step.setter].set(o, step.number); break;
        case Kind::Callback:
            callbackAnswers[0] = step.number;
            callbackAnswers[1] = step.second;
            o.SetPropertyCallback(step.flag ? nullptr : &Answer);
            break;
        case Kind::WriteSlot39: {
            double* storage = o.GetVectorPointer();
            if (storage != nullptr) storage[38] = step.number;  // as a host may write it
            break;
        }
        case Kind::SetOrientation: o.SetOrientation(step.integer); break;
        case Kind::PresetOptions: o.PresetOptions(); break;
        case Kind::SizeVertical: CheckedCalculation(o, [&] { o.SizeVertical(); }); break;
        case Kind::SizeHorizontalVessel: CheckedCalculation(o, [&] { o.SizeHorizontalVessel(); }); break;
        case Kind::SetValue: o.SetValue(step.number, step.integer); break;
        case Kind::GetValue: o.GetValue(step.integer); break;
        case Kind::ClearValues: o.ClearValues(); break;
        case Kind::CalcVerticalLevels: {
            double holdup = step.number;
            CheckedCalculation(o, [&] { o.CalcVerticalLevels(step.flag ? nullptr : &holdup); });
            break;
        }
        case Kind::CalcHorizontalLevelTime: CheckedCalculation(o, [&] { o.CalcHorizontalLevelTime(); }); break;
        case Kind::AllocValues: o.AllocValues(step.integer); break;
        case Kind::Calculate: CheckedCalculation(o, [&] { o.Calculate(0); }); break;
    }
}

void PrintNumber(double v) {
    if (std::isnan(v)) std::fprintf(stderr, "\"NaN\"");
    else if (std::isinf(v)) std::fprintf(stderr, v > 0 ? "\"Infinity\"" : "\"-Infinity\"");
    else std::fprintf(stderr, "%.17g", v);
}

void Trace(const Step& step, bool first) {
    std::fprintf(stderr, "%s[", first ? "" : ",\n ");
    switch (step.kind) {
        case Kind::Setter: std::fprintf(stderr, "\"%s\", ", kSetters[step.setter].name); PrintNumber(step.number); break;
        case Kind::Callback:
            std::fprintf(stderr, "\"-- callback answers\", ");
            PrintNumber(step.number);
            std::fprintf(stderr, ", ");
            PrintNumber(step.second);
            std::fprintf(stderr, ", %s", step.flag ? "\"removed\"" : "\"installed\"");
            break;
        case Kind::WriteSlot39: std::fprintf(stderr, "\"-- slot 39 through the pointer\", "); PrintNumber(step.number); break;
        case Kind::SetOrientation: std::fprintf(stderr, "\"SetOrientation\", %d", step.integer); break;
        case Kind::PresetOptions: std::fprintf(stderr, "\"PresetOptions\""); break;
        case Kind::SizeVertical: std::fprintf(stderr, "\"SizeVertical\""); break;
        case Kind::SizeHorizontalVessel: std::fprintf(stderr, "\"SizeHorizontalVessel\""); break;
        case Kind::SetValue: std::fprintf(stderr, "\"SetValue\", "); PrintNumber(step.number); std::fprintf(stderr, ", %d", step.integer); break;
        case Kind::GetValue: std::fprintf(stderr, "\"GetValue\", %d", step.integer); break;
        case Kind::ClearValues: std::fprintf(stderr, "\"ClearValues\""); break;
        case Kind::CalcVerticalLevels: std::fprintf(stderr, "\"CalcVerticalLevels\", "); PrintNumber(step.flag ? kEmptyValue : step.number); break;
        case Kind::CalcHorizontalLevelTime: std::fprintf(stderr, "\"CalcHorizontalLevelTime\""); break;
        case Kind::AllocValues: std::fprintf(stderr, "\"AllocValues\", %d", step.integer); break;
        case Kind::Calculate: std::fprintf(stderr, "\"Calculate\""); break;
    }
    std::fprintf(stderr, "]");
}

const bool kTrace = std::getenv("KESTROL_FUZZ_TRACE") != nullptr;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteReader in(data, size);
    std::array<Step, kMaxCalls> steps{};
    int count = 0;
    int calculations = 0;
    while (count < kMaxCalls && !in.Empty()) {
        const Step step = Decode(in);
        if (IsCalculation(step.kind) && ++calculations > kMaxCalculations) continue;
        steps[count++] = step;
    }
    if (kTrace) {
        std::fprintf(stderr, "{\"calls\": [");
        for (int i = 0; i < count; ++i) Trace(steps[i], i == 0);
        std::fprintf(stderr, "]}\n");
    }

    ISeparatorSizing* object = kestrol::CreateSizingObject();
    if (object == nullptr) return 0;
    for (int i = 0; i < count; ++i) Execute(*object, steps[i]);
    object->Release();
    return 0;
}
