// Turns arbitrary bytes into a sequence of interface calls on one object, the way a host
// driven by a flash calculation might: any double, any index, any count, in any order.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

#include "sizing/sizing_object.h"

namespace {

using kestrol::ISeparatorSizing;

/// Calls per input: enough to reach every path after any preparation, bounded so that one
/// input cannot run long.
constexpr int kMaxCalls = 48;

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
            -std::numeric_limits<double>::infinity(), kestrol::kEmptyValue, 0.0, -0.0,
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

thread_local double callbackAnswers[2] = {kestrol::kEmptyValue, kestrol::kEmptyValue};
double STDMETHODCALLTYPE Answer(std::int32_t code) {
    return (code == 0 || code == 1) ? callbackAnswers[code] : kestrol::kEmptyValue;
}

void OneCall(ISeparatorSizing& o, ByteReader& in) {
    switch (in.Byte() % 32) {
        case 0: o.SetLightLiquidDensity(in.Number()); break;
        case 1: o.SetLightLiquidMassFlow(in.Number()); break;
        case 2: o.SetHeavyLiquidDensity(in.Number()); break;
        case 3: o.SetHeavyLiquidMassFlow(in.Number()); break;
        case 4: o.SetPressure(in.Number()); break;
        case 5: o.SetTemperature(in.Number()); break;
        case 6: o.SetVapourDensity(in.Number()); break;
        case 7: o.SetVapourMassFlow(in.Number()); break;
        case 8: o.SetLightLiquidVolumeFlow(in.Number()); break;
        case 9: o.SetHeavyLiquidVolumeFlow(in.Number()); break;
        case 10: o.SetVapourVolumeFlow(in.Number()); break;
        case 11: o.SetAuxiliaryValue1(in.Number()); break;
        case 12: o.SetAuxiliaryValue2(in.Number()); break;
        case 13: o.SetAssumedLiquidPercent(in.Number()); break;
        case 14:
            callbackAnswers[0] = in.Number();
            callbackAnswers[1] = in.Number();
            o.SetPropertyCallback(in.Byte() % 4 == 0 ? nullptr : &Answer);
            break;
        case 15: {
            double* storage = o.GetVectorPointer();
            if (storage != nullptr) storage[38] = in.Number();  // slot 39, as a host may write it
            break;
        }
        case 16: o.SetOrientation(in.Integer()); break;
        case 17: o.PresetOptions(); break;
        case 18: o.SizeVertical(); break;
        case 19: o.SizeHorizontalVessel(); break;
        case 20:
        case 21:
        case 22: {
            const double value = in.Number();
            o.SetValue(value, in.Integer());
            break;
        }
        case 23: o.GetValue(in.Integer()); break;
        case 24: o.ClearValues(); break;
        case 25: {
            double holdup = in.Number();
            o.CalcVerticalLevels(in.Byte() % 8 == 0 ? nullptr : &holdup);
            break;
        }
        case 26: o.CalcHorizontalLevelTime(); break;
        case 27: o.AllocValues(in.Integer()); break;
        default: o.Calculate(0); break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteReader in(data, size);
    ISeparatorSizing* object = kestrol::CreateSizingObject();
    if (object == nullptr) return 0;
    for (int call = 0; call < kMaxCalls && !in.Empty(); ++call) OneCall(*object, in);
    object->Release();
    return 0;
}
