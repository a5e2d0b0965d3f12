// Turns arbitrary bytes into a sequence of interface calls on one object, the way a host
// driven by a flash calculation might: any double, any index, any count, in any order. The
// object is activated as COM does it, through DllGetClassObject and the class factory, with
// identifiers and an outer pointer taken from the input's last bytes. The host's callback may
// call back into the object, and calculations may run under any rounding mode, flushing
// denormals, with exceptions unmasked or at another x87 precision.
//
// Besides the sanitizers it checks: no calculation writes a non-finite number into a slot,
// where it would pass for a value; a failed activation or QueryInterface leaves a null out
// pointer; every calculation gives the host's control words back and, when the input changes
// the host's floating-point state, the same bits as a twin object driven alike under the
// default state; no object, factory or lock outlives the input.
//
// With KESTROL_FUZZ_TRACE set, the decoded calls are printed as a host script (`kestrol run`),
// so that a finding can be replayed and cut down outside the fuzzer; steps a script cannot
// express are printed as comments.
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "sizing/object_count.h"
#include "module/class_factory.h"
#include "module/exports.h"
#include "module/module_state.h"
#include "sizing/sizing_object.h"
#include "tests/control_words.h"

namespace {

using kestrol::ISeparatorSizing;
using kestrol::kEmptyValue;

/// Calls per input, and of them calculations: enough to reach every path after any
/// preparation, bounded so that one input stays within 100 ms under the sanitizers even when
/// every calculation runs its longest search to the end. A calculation the twin repeats
/// counts twice, a callback that calculates again once more.
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
    Setter, Callback, WriteThroughPointer, SetOrientation, PresetOptions, SizeVertical, SizeHorizontalVessel,
    SetValue, GetValue, ClearValues, CalcVerticalLevels, CalcHorizontalLevelTime, AllocValues, Calculate,
    HostState, QueryInterface, ExtraReference,
};

/// What the callback does to the object before it answers.
enum class Reentry { None, Setter, SetValue, ClearValues, AllocValues, Calculate };
constexpr int kReentryKinds = 6;

struct Step {
    Kind kind;
    int setter = 0;  // which of the fourteen
    double number = 0.0;
    double second = 0.0;
    std::int32_t integer = 0;
    bool flag = false;  // callback removed, or a null hold-up time pointer
    Reentry reentry = Reentry::None;
    double reentryNumber = 0.0;
    std::int32_t reentryInteger = 0;
    GUID iid{};
};

// --- The host's floating-point state -------------------------------------------------------

using kestrol::testing_support::ControlState;
using kestrol::testing_support::ReadControl;
using kestrol::testing_support::WriteControl;

/// Round to nearest, 64-bit x87 precision, every exception masked: what the twin runs under.
constexpr ControlState kDefaultState{0x037F, 0x1F80};

// MXCSR: rounding 13-14, flush-to-zero 15, denormals-are-zero 6, masks 7-12. x87: rounding
// 10-11, precision 8-9, masks 0-5.
constexpr ControlState kHostStates[] = {
    kDefaultState,
    {0x0B7F, 0x5F80},  // round up
    {0x077F, 0x3F80},  // round down
    {0x0F7F, 0x7F80},  // toward zero
    {0x037F, 0x9F80},  // flush-to-zero
    {0x037F, 0x1FC0},  // denormals-are-zero
    {0x037F, 0x9FC0},  // both, as fast-math start-up code leaves them
    {0x0372, 0x1980},  // invalid, divide-by-zero and overflow trap
    {0x0340, 0x0000},  // every exception traps, inexact included
    {0x027F, 0x1F80},  // x87 at 53-bit precision, many runtimes' default
    {0x007F, 0x1F80},  // x87 at 24-bit precision
    {0x0A40, 0xDFC0},  // all of it at once
};
constexpr int kHostStateCount = static_cast<int>(sizeof kHostStates / sizeof kHostStates[0]);

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

GUID Identifier(ByteReader& in) {
    static const GUID kKnown[] = {kestrol::IID_ISeparatorSizing, IID_IUnknown, IID_IClassFactory,
                                  kestrol::CLSID_SeparatorSizing};
    const std::uint8_t choice = in.Byte();
    if (choice < 192) return kKnown[choice % 4];
    GUID iid = kKnown[choice % 4];
    // A near miss or a stranger: the bytes that follow, over a known identifier.
    const int changed = 1 + choice % 16;
    auto* raw = reinterpret_cast<std::uint8_t*>(&iid);
    for (int i = 0; i < changed; ++i) raw[in.Byte() % sizeof iid] = in.Byte();
    return iid;
}

// The steps that the first 224 values of a step's first byte do not choose.
Step DecodeRare(ByteReader& in, int choice) {
    Step step{Kind::HostState};
    switch (choice % 4) {
        case 0: step.integer = in.Byte() % kHostStateCount; break;
        case 1: step.kind = Kind::QueryInterface; step.iid = Identifier(in); break;
        case 2: step.kind = Kind::ExtraReference; break;
        default:
            step.kind = Kind::Callback;
            step.number = in.Number();
            step.second = in.Number();
            step.reentry = static_cast<Reentry>(1 + in.Byte() % (kReentryKinds - 1));
            step.setter = in.Byte() % kSetterCount;
            step.reentryNumber = in.Number();
            step.reentryInteger = in.Integer();
            break;
    }
    return step;
}

Step Decode(ByteReader& in) {
    const int first = in.Byte();
    if (first >= 224) return DecodeRare(in, first);
    const int choice = first % 32;
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
        case 15:
            step.kind = Kind::WriteThroughPointer;
            step.number = in.Number();
            step.integer = in.Byte() % kestrol::kSlotCount;
            break;
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

// --- The host's callback --------------------------------------------------------------------

/// One object as the host holds it, with what its callback is to do.
struct Driven {
    ISeparatorSizing* object = nullptr;
    double answers[2] = {kEmptyValue, kEmptyValue};
    Step reentry{Kind::Callback};
    bool calculatedAgain = false;  ///< a callback's Calculate runs once per object and input
    int slotWrittenByCallback = 0;  ///< the host's own value, not the calculation's
};

thread_local Driven* calling = nullptr;  // the object whose method is running
thread_local int callbackDepth = 0;

void SetInput(ISeparatorSizing& o, int setter, double value);

double STDMETHODCALLTYPE Answer(std::int32_t code) {
    Driven* host = calling;
    if (host == nullptr || (code != 0 && code != 1)) return kEmptyValue;
    if (callbackDepth == 0) {
        ++callbackDepth;
        ISeparatorSizing& o = *host->object;
        const Step& r = host->reentry;
        switch (r.reentry) {
            case Reentry::None: break;
            case Reentry::Setter: SetInput(o, r.setter, r.reentryNumber); break;
            case Reentry::SetValue:
                o.SetValue(r.reentryNumber, r.reentryInteger);
                host->slotWrittenByCallback = r.reentryInteger;
                break;
            case Reentry::ClearValues: o.ClearValues(); break;
            case Reentry::AllocValues: o.AllocValues(r.reentryInteger); break;
            case Reentry::Calculate:
                if (!host->calculatedAgain) {
                    host->calculatedAgain = true;
                    o.Calculate(0);
                }
                break;
        }
        --callbackDepth;
    }
    return host->answers[code];
}

// --- Checks ----------------------------------------------------------------------------------

using Vector = std::array<std::uint64_t, kestrol::kSlotCount + 1>;  // by slot number, 0 unused

Vector VectorBits(ISeparatorSizing& o) {
    Vector bits{};
    for (int slot = 1; slot <= kestrol::kSlotCount; ++slot) {
        const double v = o.GetValue(slot);
        std::memcpy(&bits[slot], &v, sizeof v);
    }
    return bits;
}

double AsDouble(std::uint64_t bits) {
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

[[noreturn]] void Finding(const char* what, int slot, double mine, double other) {
    std::fprintf(stderr, "%s (slot %d: %.17g, %.17g)\n", what, slot, mine, other);
    __builtin_trap();
}

/// Stops the run when a calculation wrote a non-finite number into any slot, unless it only
/// marked a host's own value as fixed (which flips its sign) or passed the host's assumed
/// liquid percent through.
void CheckFinite(ISeparatorSizing& o, const Vector& before, int hostSlot) {
    const Vector after = VectorBits(o);
    const double percent = static_cast<kestrol::SizingObject&>(o).Inputs().assumedLiquidPercent;
    for (int slot = 1; slot <= kestrol::kSlotCount; ++slot) {
        const double v = AsDouble(after[slot]);
        const double was = AsDouble(before[slot]);
        if (after[slot] == before[slot] || std::isfinite(v) || slot == hostSlot) continue;
        const bool hostValueMarked = std::fabs(v) == std::fabs(was) || (std::isnan(v) && std::isnan(was));
        const bool hostPercent =
            slot == kestrol::Index(kestrol::Slot::FirstPassFlag) && (v == percent || (std::isnan(v) && std::isnan(percent)));
        if (!hostValueMarked && !hostPercent) Finding("non-finite value written", slot, v, was);
    }
}

/// One call on an object under a host state: the state comes back, and so does nothing else.
template <class Call>
auto UnderState(Driven& host, const ControlState& state, Call call) {
    Driven* const outer = calling;
    calling = &host;
    const ControlState saved = ReadControl();
    WriteControl(state);
    const auto result = call();
    const ControlState after = ReadControl();
    WriteControl(saved);
    calling = outer;
    if (!(after == state)) Finding("the host's control words changed", 0, after.x87, after.sse);
    return result;
}

/// A calculation on the object and, when there is one, on its twin under the default state:
/// both give the same result and leave the same vector.
template <class Call>
void Calculation(Driven& host, Driven* twin, const ControlState& state, Call call) {
    const Vector before = VectorBits(*host.object);
    host.slotWrittenByCallback = 0;
    const double result = UnderState(host, state, [&] { return call(*host.object); });
    CheckFinite(*host.object, before, host.slotWrittenByCallback);
    if (twin == nullptr) return;
    const double expected = UnderState(*twin, kDefaultState, [&] { return call(*twin->object); });
    std::uint64_t a, b;
    std::memcpy(&a, &result, sizeof a);
    std::memcpy(&b, &expected, sizeof b);
    if (a != b) Finding("another result under the host's state", 0, result, expected);
    const Vector mine = VectorBits(*host.object);
    const Vector reference = VectorBits(*twin->object);
    for (int slot = 1; slot <= kestrol::kSlotCount; ++slot)
        if (mine[slot] != reference[slot])
            Finding("another value under the host's state", slot, AsDouble(mine[slot]), AsDouble(reference[slot]));
}

void SetInput(ISeparatorSizing& o, int setter, double value) { kSetters[setter].set(o, value); }

// Steps that change the object, applied alike to the object and its twin.
void Apply(Driven& host, const Step& step) {
    ISeparatorSizing& o = *host.object;
    switch (step.kind) {
        case Kind::Setter: SetInput(o, step.setter, step.number); break;
        case Kind::Callback:
            host.answers[0] = step.number;
            host.answers[1] = step.second;
            host.reentry = step;
            o.SetPropertyCallback(step.flag ? nullptr : &Answer);
            break;
        case Kind::WriteThroughPointer: {
            double* storage = o.GetVectorPointer();
            if (storage != nullptr) storage[step.integer] = step.number;  // as a host may write it
            break;
        }
        case Kind::SetOrientation: o.SetOrientation(step.integer); break;
        case Kind::SetValue: o.SetValue(step.number, step.integer); break;
        case Kind::GetValue: o.GetValue(step.integer); break;
        case Kind::ClearValues: o.ClearValues(); break;
        case Kind::AllocValues: o.AllocValues(step.integer); break;
        default: break;
    }
}

void CheckedQueryInterface(ISeparatorSizing& o, const GUID& iid) {
    void* out = reinterpret_cast<void*>(static_cast<std::uintptr_t>(0x5A5A5A50u));
    const HRESULT hr = o.QueryInterface(iid, &out);
    if (hr == S_OK) {
        if (out != static_cast<void*>(&o)) Finding("QueryInterface answered another pointer", 0, 0, 0);
        static_cast<IUnknown*>(out)->Release();
    } else if (out != nullptr) {
        Finding("a refused QueryInterface left its out pointer set", 0, hr, 0);
    }
}

void Execute(Driven& host, Driven* twin, ControlState& state, const Step& step) {
    ISeparatorSizing& o = *host.object;
    switch (step.kind) {
        case Kind::HostState: state = kHostStates[step.integer]; break;
        case Kind::QueryInterface: CheckedQueryInterface(o, step.iid); break;
        case Kind::ExtraReference:
            if (o.AddRef() != 2u || o.Release() != 1u) Finding("reference count off", 0, 0, 0);
            break;
        case Kind::PresetOptions: Calculation(host, twin, state, [](ISeparatorSizing& x) { return x.PresetOptions(); }); break;
        case Kind::SizeVertical: Calculation(host, twin, state, [](ISeparatorSizing& x) { return x.SizeVertical(); }); break;
        case Kind::SizeHorizontalVessel:
            Calculation(host, twin, state, [](ISeparatorSizing& x) { return x.SizeHorizontalVessel(); });
            break;
        case Kind::CalcVerticalLevels:
            Calculation(host, twin, state, [&](ISeparatorSizing& x) {
                double holdup = step.number;
                return x.CalcVerticalLevels(step.flag ? nullptr : &holdup);
            });
            break;
        case Kind::CalcHorizontalLevelTime:
            Calculation(host, twin, state, [](ISeparatorSizing& x) { return x.CalcHorizontalLevelTime(); });
            break;
        case Kind::Calculate:
            Calculation(host, twin, state, [](ISeparatorSizing& x) { return static_cast<double>(x.Calculate(0)); });
            break;
        default:
            Apply(host, step);
            if (twin != nullptr) Apply(*twin, step);
            break;
    }
}

// --- Activation ------------------------------------------------------------------------------

void* const kGarbage = reinterpret_cast<void*>(static_cast<std::uintptr_t>(0x5A5A5A50u));

/// The object as COM hands it out, with identifiers and an outer pointer from the reader; null
/// when the activation (rightly) failed. Checks that every failure nulls its out pointer.
ISeparatorSizing* Activate(ByteReader& in) {
    const std::uint8_t how = in.Byte();
    GUID clsid = kestrol::CLSID_SeparatorSizing;
    if (how % 8 == 7) clsid = Identifier(in);
    GUID factoryIid = how % 4 == 3 ? Identifier(in) : IID_IClassFactory;
    void* out = kGarbage;
    HRESULT hr = DllGetClassObject(clsid, factoryIid, &out);
    if (FAILED(hr)) {
        if (out != nullptr) Finding("DllGetClassObject failed and left its out pointer set", 0, hr, 0);
        return nullptr;
    }
    auto* unknown = static_cast<IUnknown*>(out);
    void* asFactory = nullptr;
    hr = unknown->QueryInterface(IID_IClassFactory, &asFactory);
    unknown->Release();
    if (FAILED(hr)) Finding("a handed-out factory is no IClassFactory", 0, hr, 0);
    auto* factory = static_cast<IClassFactory*>(asFactory);
    const bool lock = how & 0x10;
    if (lock) factory->LockServer(TRUE);
    IUnknown* outer = (how & 0x20) ? factory : nullptr;
    const GUID objectIid = (how & 0x40) ? Identifier(in) : kestrol::IID_ISeparatorSizing;
    out = kGarbage;
    hr = factory->CreateInstance(outer, objectIid, &out);
    if (lock) factory->LockServer(FALSE);
    factory->Release();
    if (FAILED(hr)) {
        if (out != nullptr) Finding("CreateInstance failed and left its out pointer set", 0, hr, 0);
        return nullptr;
    }
    unknown = static_cast<IUnknown*>(out);
    void* sizing = nullptr;
    hr = unknown->QueryInterface(kestrol::IID_ISeparatorSizing, &sizing);
    unknown->Release();
    if (FAILED(hr)) Finding("a created object is no ISeparatorSizing", 0, hr, 0);
    return static_cast<ISeparatorSizing*>(sizing);
}

/// Reads an input backwards, so that activation takes its bytes from the end while the steps
/// take theirs from the start.
class TailReader {
public:
    TailReader(const std::uint8_t* data, std::size_t size) {
        for (std::size_t i = 0; i < size && i < sizeof reversed_; ++i) reversed_[i] = data[size - 1 - i];
        used_ = size < sizeof reversed_ ? size : sizeof reversed_;
    }
    ByteReader Reader() const { return ByteReader(reversed_, used_); }

private:
    std::uint8_t reversed_[64] = {};
    std::size_t used_ = 0;
};

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
            if (step.reentry != Reentry::None) {
                std::fprintf(stderr, ", \"re-entering %d with setter %d\", ", static_cast<int>(step.reentry), step.setter);
                PrintNumber(step.reentryNumber);
                std::fprintf(stderr, ", %d", step.reentryInteger);
            }
            break;
        case Kind::WriteThroughPointer:
            std::fprintf(stderr, "\"-- slot %d through the pointer\", ", step.integer + 1);
            PrintNumber(step.number);
            break;
        case Kind::HostState:
            std::fprintf(stderr, "\"-- host state x87 %04x mxcsr %04x\"", kHostStates[step.integer].x87,
                         kHostStates[step.integer].sse);
            break;
        case Kind::QueryInterface: std::fprintf(stderr, "\"-- QueryInterface %08x\"", static_cast<unsigned>(step.iid.Data1)); break;
        case Kind::ExtraReference: std::fprintf(stderr, "\"-- AddRef, Release\""); break;
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

int Cost(const Step& step) {
    if (IsCalculation(step.kind)) return 1;
    return step.kind == Kind::Callback && step.reentry == Reentry::Calculate ? 1 : 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteReader in(data, size);
    std::array<Step, kMaxCalls> decoded{};
    int decodedCount = 0;
    while (decodedCount < kMaxCalls && !in.Empty()) decoded[decodedCount++] = Decode(in);
    // A twin only when the host's state changes: it doubles what every calculation costs.
    bool withTwin = false;
    for (int i = 0; i < decodedCount; ++i)
        withTwin = withTwin || (decoded[i].kind == Kind::HostState && decoded[i].integer != 0);
    std::array<Step, kMaxCalls> steps{};
    int count = 0;
    int budget = kMaxCalculations;
    for (int i = 0; i < decodedCount; ++i) {
        const int cost = Cost(decoded[i]) * (withTwin ? 2 : 1);
        if (cost > budget) continue;
        budget -= cost;
        steps[count++] = decoded[i];
    }
    if (kTrace) {
        std::fprintf(stderr, "{\"calls\": [");
        for (int i = 0; i < count; ++i) Trace(steps[i], i == 0);
        std::fprintf(stderr, "]}\n");
    }

    TailReader tail(data, size);
    ByteReader activation = tail.Reader();
    Driven host;
    host.object = Activate(activation);
    // A refused activation still leaves the steps to try on an object made directly.
    if (host.object == nullptr) host.object = kestrol::CreateSizingObject();
    Driven twin;
    if (withTwin) twin.object = kestrol::CreateSizingObject();
    if (host.object != nullptr && (!withTwin || twin.object != nullptr)) {
        ControlState state = kDefaultState;
        for (int i = 0; i < count; ++i) Execute(host, withTwin ? &twin : nullptr, state, steps[i]);
    }
    if (host.object != nullptr) host.object->Release();
    if (twin.object != nullptr) twin.object->Release();
    if (kestrol::LiveObjectCount() != 0 || kestrol::module::LiveFactoryCount() != 0 ||
        kestrol::module::LockCount() != 0 || DllCanUnloadNow() != S_OK)
        Finding("an object, factory or lock outlived the input", 0, kestrol::LiveObjectCount(),
                kestrol::module::LiveFactoryCount());
    return 0;
}
