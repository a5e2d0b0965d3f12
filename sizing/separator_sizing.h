// ISeparatorSizing: the one custom interface of the sizing object, its identifiers, the
// HRESULTs of Calculate and the host callback type.
#pragma once

#include <cstdint>

#include "platform/windows_api.h"

namespace kestrol {

/// {81768304-E824-4BA0-82EC-74FD36246BC7}
inline constexpr CLSID CLSID_SeparatorSizing = {0x81768304, 0xE824, 0x4BA0, {0x82, 0xEC, 0x74, 0xFD, 0x36, 0x24, 0x6B, 0xC7}};
/// The class identifier with its first field one less.
inline constexpr IID IID_ISeparatorSizing = {0x81768303, 0xE824, 0x4BA0, {0x82, 0xEC, 0x74, 0xFD, 0x36, 0x24, 0x6B, 0xC7}};

inline constexpr HRESULT SIZING_E_NOVECTOR = static_cast<HRESULT>(0x80040201u);
inline constexpr HRESULT SIZING_E_NOFLOW = static_cast<HRESULT>(0x80040202u);
inline constexpr HRESULT SIZING_E_NOVAPOUR = static_cast<HRESULT>(0x80040203u);
inline constexpr HRESULT SIZING_E_MISSINGINPUT = static_cast<HRESULT>(0x80040204u);
inline constexpr HRESULT SIZING_E_NOPERCENT = static_cast<HRESULT>(0x80040205u);
inline constexpr HRESULT SIZING_E_NOLIQUIDDENSITY = static_cast<HRESULT>(0x80040206u);
inline constexpr HRESULT SIZING_E_PRESET = static_cast<HRESULT>(0x80040207u);
inline constexpr HRESULT SIZING_E_ORIENTATION = static_cast<HRESULT>(0x80040208u);

/// Host function answering code 0 (assumed liquid percent) and code 1 (its density).
using HostPropertyCallback = double(STDMETHODCALLTYPE*)(std::int32_t code);

struct ISeparatorSizing : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Calculate(std::int32_t ignored) = 0;               // 3
    virtual void STDMETHODCALLTYPE SetLightLiquidDensity(double value) = 0;              // 4
    virtual void STDMETHODCALLTYPE SetLightLiquidMassFlow(double value) = 0;             // 5
    virtual void STDMETHODCALLTYPE SetHeavyLiquidDensity(double value) = 0;              // 6
    virtual void STDMETHODCALLTYPE SetHeavyLiquidMassFlow(double value) = 0;             // 7
    virtual void STDMETHODCALLTYPE SetPressure(double value) = 0;                        // 8
    virtual void STDMETHODCALLTYPE SetTemperature(double value) = 0;                     // 9
    virtual void STDMETHODCALLTYPE SetVapourDensity(double value) = 0;                   // 10
    virtual void STDMETHODCALLTYPE SetVapourMassFlow(double value) = 0;                  // 11
    virtual void STDMETHODCALLTYPE SetLightLiquidVolumeFlow(double value) = 0;           // 12
    virtual void STDMETHODCALLTYPE SetHeavyLiquidVolumeFlow(double value) = 0;           // 13
    virtual void STDMETHODCALLTYPE SetVapourVolumeFlow(double value) = 0;                // 14
    virtual void STDMETHODCALLTYPE SetAuxiliaryValue1(double value) = 0;                 // 15
    virtual void STDMETHODCALLTYPE SetAuxiliaryValue2(double value) = 0;                 // 16
    virtual void STDMETHODCALLTYPE SetAssumedLiquidPercent(double value) = 0;            // 17
    virtual void STDMETHODCALLTYPE SetPropertyCallback(HostPropertyCallback callback) = 0;  // 18
    virtual double* STDMETHODCALLTYPE GetVectorPointer() = 0;                            // 19
    virtual void STDMETHODCALLTYPE SetOrientation(std::int32_t orientation) = 0;         // 20
    virtual double STDMETHODCALLTYPE PresetOptions() = 0;                                // 21
    virtual double STDMETHODCALLTYPE SizeVertical() = 0;                                 // 22
    virtual double STDMETHODCALLTYPE SizeHorizontalVessel() = 0;                         // 23
    virtual void STDMETHODCALLTYPE SetValue(double value, std::int32_t index) = 0;       // 24
    virtual double STDMETHODCALLTYPE GetValue(std::int32_t index) = 0;                   // 25
    virtual void STDMETHODCALLTYPE ClearValues() = 0;                                    // 26
    virtual double STDMETHODCALLTYPE CalcVerticalLevels(double* holdupTime) = 0;         // 27
    virtual double STDMETHODCALLTYPE CalcHorizontalLevelTime() = 0;                      // 28
    virtual HRESULT STDMETHODCALLTYPE AllocValues(std::int32_t count) = 0;               // 29

protected:
    ~ISeparatorSizing() = default;
};

}  // namespace kestrol
