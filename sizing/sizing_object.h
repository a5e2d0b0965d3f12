// SizingObject: one sizing case behind ISeparatorSizing. It holds the stream inputs, the host
// callback and the sizing vector; every calculation is a free function that this object
// adapts, reaching the vector directly by the rules of the object's GetValue and SetValue.
#pragma once

#include <cstdint>

#include "sizing/com_object.h"
#include "sizing/separator_sizing.h"
#include "core/slots.h"
#include "core/stream_state.h"

namespace kestrol {

class SizingObject final : public ComObject<SizingObject, ISeparatorSizing> {
public:
    SizingObject() noexcept;
    SizingObject(const SizingObject&) = delete;
    SizingObject& operator=(const SizingObject&) = delete;

    HRESULT STDMETHODCALLTYPE Calculate(std::int32_t ignored) override;
    void STDMETHODCALLTYPE SetLightLiquidDensity(double value) override { feed_.lightLiquidDensity = value; }
    void STDMETHODCALLTYPE SetLightLiquidMassFlow(double value) override { feed_.lightLiquidMassFlow = value; }
    void STDMETHODCALLTYPE SetHeavyLiquidDensity(double value) override { feed_.heavyLiquidDensity = value; }
    void STDMETHODCALLTYPE SetHeavyLiquidMassFlow(double value) override { feed_.heavyLiquidMassFlow = value; }
    void STDMETHODCALLTYPE SetPressure(double value) override { feed_.pressure = value; }
    void STDMETHODCALLTYPE SetTemperature(double value) override { feed_.temperature = value; }
    void STDMETHODCALLTYPE SetVapourDensity(double value) override { feed_.vapourDensity = value; }
    void STDMETHODCALLTYPE SetVapourMassFlow(double value) override { feed_.vapourMassFlow = value; }
    void STDMETHODCALLTYPE SetLightLiquidVolumeFlow(double value) override { feed_.lightLiquidVolumeFlow = value; }
    void STDMETHODCALLTYPE SetHeavyLiquidVolumeFlow(double value) override { feed_.heavyLiquidVolumeFlow = value; }
    void STDMETHODCALLTYPE SetVapourVolumeFlow(double value) override { feed_.vapourVolumeFlow = value; }
    void STDMETHODCALLTYPE SetAuxiliaryValue1(double value) override { feed_.auxiliaryValue1 = value; }
    void STDMETHODCALLTYPE SetAuxiliaryValue2(double value) override { feed_.auxiliaryValue2 = value; }
    void STDMETHODCALLTYPE SetAssumedLiquidPercent(double value) override { feed_.assumedLiquidPercent = value; }
    void STDMETHODCALLTYPE SetPropertyCallback(HostPropertyCallback callback) override { callback_ = callback; }
    double* STDMETHODCALLTYPE GetVectorPointer() override;
    void STDMETHODCALLTYPE SetOrientation(std::int32_t orientation) override;
    double STDMETHODCALLTYPE PresetOptions() override;
    double STDMETHODCALLTYPE SizeVertical() override;
    double STDMETHODCALLTYPE SizeHorizontalVessel() override;
    void STDMETHODCALLTYPE SetValue(double value, std::int32_t index) override;
    double STDMETHODCALLTYPE GetValue(std::int32_t index) override;
    void STDMETHODCALLTYPE ClearValues() override;
    double STDMETHODCALLTYPE CalcVerticalLevels(double* holdupTime) override;
    double STDMETHODCALLTYPE CalcHorizontalLevelTime() override;
    HRESULT STDMETHODCALLTYPE AllocValues(std::int32_t count) override;

    /// The stream inputs as they stand (tests and the host's reports read them).
    const StreamState& Inputs() const noexcept { return feed_; }
    /// Whether the vector exists, asked without creating it.
    bool HasVector() const noexcept { return vector_ != nullptr; }

private:
    friend class ObjectSlots;
    friend class ComObject<SizingObject, ISeparatorSizing>;
    static const IID& Identifier() noexcept;
    ~SizingObject();
    HRESULT CalculateUnguarded();
    /// Allocates the vector, of at least 39 slots, unless there is one.
    bool HaveVector(std::int32_t count);
    /// AllocValues(39) followed by writing the image's values, in one copy.
    bool StartFrom(const SlotImage& image);
    double AskHost(std::int32_t code) const;

    // Field order is part of the object's contract: interface table (the base), callback,
    // reference count, the fourteen inputs, the vector storage and its flag.
    HostPropertyCallback callback_ = nullptr;
    ReferenceCount references_{1};
    StreamState feed_;
    double* vector_ = nullptr;
    std::int32_t vectorAllocated_ = 0;
    std::int32_t capacity_ = 0;  ///< slots the storage holds, at least 39 once allocated
};

/// The object's vector as its calculations reach it: its storage directly, and its own
/// allocation without the interface.
class ObjectSlots final : public SlotAccess {
public:
    explicit ObjectSlots(SizingObject& object) noexcept : SlotAccess(&object.vector_, &object, &Start) {}

private:
    static bool Start(void* object, const SlotImage& image) { return static_cast<SizingObject*>(object)->StartFrom(image); }
};

/// A new object with reference count 1, or null when memory is short. The class factory and
/// the command-line host both create objects this way.
SizingObject* CreateSizingObject() noexcept;

}  // namespace kestrol
