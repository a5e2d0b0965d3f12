/*
 * Kestrol: the separator-sizing COM server, for hosts written in C or C++.
 *
 * On Windows this header needs nothing but the Windows SDK (or mingw-w64's), and compiles as
 * C89/C90 or later and as C++98 or later. Create the object with
 *     CoCreateInstance(&CLSID_SeparatorSizing, NULL, CLSCTX_INPROC_SERVER,
 *                      &IID_ISeparatorSizing, (void**)&sizing)             (C)
 *     CoCreateInstance(CLSID_SeparatorSizing, NULL, CLSCTX_INPROC_SERVER,
 *                      IID_PPV_ARGS(&sizing))                              (C++)
 * or find the class by its ProgID "Quorvanix.SeparatorSizing". In C++ the interface carries
 * its identifier, so __uuidof(ISeparatorSizing) and IID_PPV_ARGS work with MSVC and mingw-w64.
 *
 * The interface is not SI throughout: mass flows are in kg/h, densities in kg/m3, pressure in
 * kPa absolute, temperature in degrees Celsius, volume flows in m3/s, times in s, lengths in m.
 * The setters store what they are given with no check or conversion, so kg/s, Pa or K are sized
 * as if they were these units, and Calculate still returns S_OK. Each declaration below names
 * its unit; docs/interface.md gives the unit of every vector slot.
 * kEmptyValue (-32767.0) marks a value as empty, unset or failed. Calculations return
 * kEmptyValue on failure and 0.0 (or a result) otherwise.
 */
#ifndef KESTROL_KESTROL_H
#define KESTROL_KESTROL_H

#include <stdint.h>

#ifdef _WIN32
#include <windows.h>
#include <objbase.h>
#else
/* Off Windows only the component's own native build includes this header; the project's
 * stand-in supplies the COM types there. */
#include "platform/win32_standin.h"
#endif

/* {81768304-E824-4BA0-82EC-74FD36246BC7}: the class SeparatorSizing. */
static const CLSID CLSID_SeparatorSizing = {0x81768304, 0xE824, 0x4BA0, {0x82, 0xEC, 0x74, 0xFD, 0x36, 0x24, 0x6B, 0xC7}};
/* {81768303-E824-4BA0-82EC-74FD36246BC7}: the class identifier with its first field one less. */
static const IID IID_ISeparatorSizing = {0x81768303, 0xE824, 0x4BA0, {0x82, 0xEC, 0x74, 0xFD, 0x36, 0x24, 0x6B, 0xC7}};

#define KESTROL_PROGID "Quorvanix.SeparatorSizing"
#define KESTROL_PROGID_VERSIONED "Quorvanix.SeparatorSizing.1"

/* What Calculate reports when the feed cannot be sized, in the order it checks. */
#define SIZING_E_NOVECTOR ((HRESULT)0x80040201L)        /* the vector could not be created */
#define SIZING_E_NOFLOW ((HRESULT)0x80040202L)          /* no mass flow at all */
#define SIZING_E_NOVAPOUR ((HRESULT)0x80040203L)        /* no vapour (or AuxiliaryValue1 not > 0) */
#define SIZING_E_MISSINGINPUT ((HRESULT)0x80040204L)    /* temperature, pressure or vapour data unset */
#define SIZING_E_NOPERCENT ((HRESULT)0x80040205L)       /* no liquid and no assumed percent */
#define SIZING_E_NOLIQUIDDENSITY ((HRESULT)0x80040206L) /* no liquid and no usable density */
#define SIZING_E_PRESET ((HRESULT)0x80040207L)          /* no usable vapour velocity */
#define SIZING_E_ORIENTATION ((HRESULT)0x80040208L)     /* vector slot 14 is neither 0 nor 1 */

/* Answers code 0 (percent of the vapour to treat as liquid) and code 1 (that liquid's density,
 * kg/m3); kEmptyValue when the host has no answer. */
typedef double(STDMETHODCALLTYPE* HostPropertyCallback)(int32_t code);

#define KESTROL_EMPTY_VALUE (-32767.0)

#if defined(__cplusplus) && !defined(CINTERFACE)

#ifndef KESTROL_EMPTY_VALUE_DECLARED
#define KESTROL_EMPTY_VALUE_DECLARED
namespace kestrol {
/// Marks an interface double as empty, unset or failed. Compared exactly: an agreed value,
/// not a measurement.
#if __cplusplus >= 201103L
constexpr double kEmptyValue = KESTROL_EMPTY_VALUE;
#else
static const double kEmptyValue = KESTROL_EMPTY_VALUE;
#endif
}  // namespace kestrol
#endif

/* MSVC (and clang-cl) attach the identifier to the type, for __uuidof and IID_PPV_ARGS. */
#if defined(_MSC_VER)
#define KESTROL_INTERFACE_UUID DECLSPEC_UUID("81768303-E824-4BA0-82EC-74FD36246BC7")
#else
#define KESTROL_INTERFACE_UUID
#endif

/* Units: see the comment at the top. A calculation's double is 0.0 or kEmptyValue. */
struct KESTROL_INTERFACE_UUID ISeparatorSizing : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Calculate(int32_t ignored) = 0;                    // 3
    virtual void STDMETHODCALLTYPE SetLightLiquidDensity(double value) = 0;              // 4, kg/m3
    virtual void STDMETHODCALLTYPE SetLightLiquidMassFlow(double value) = 0;             // 5, kg/h
    virtual void STDMETHODCALLTYPE SetHeavyLiquidDensity(double value) = 0;              // 6, kg/m3
    virtual void STDMETHODCALLTYPE SetHeavyLiquidMassFlow(double value) = 0;             // 7, kg/h
    virtual void STDMETHODCALLTYPE SetPressure(double value) = 0;                        // 8, kPa absolute
    virtual void STDMETHODCALLTYPE SetTemperature(double value) = 0;                     // 9, deg C
    virtual void STDMETHODCALLTYPE SetVapourDensity(double value) = 0;                   // 10, kg/m3
    virtual void STDMETHODCALLTYPE SetVapourMassFlow(double value) = 0;                  // 11, kg/h
    virtual void STDMETHODCALLTYPE SetLightLiquidVolumeFlow(double value) = 0;           // 12, m3/s
    virtual void STDMETHODCALLTYPE SetHeavyLiquidVolumeFlow(double value) = 0;           // 13, m3/s
    virtual void STDMETHODCALLTYPE SetVapourVolumeFlow(double value) = 0;                // 14, m3/s
    virtual void STDMETHODCALLTYPE SetAuxiliaryValue1(double value) = 0;                 // 15, none; > 0
    virtual void STDMETHODCALLTYPE SetAuxiliaryValue2(double value) = 0;                 // 16, none; unread
    virtual void STDMETHODCALLTYPE SetAssumedLiquidPercent(double value) = 0;            // 17, % of vapour
    virtual void STDMETHODCALLTYPE SetPropertyCallback(HostPropertyCallback callback) = 0;  // 18
    virtual double* STDMETHODCALLTYPE GetVectorPointer() = 0;                            // 19, slot n at [n-1]
    virtual void STDMETHODCALLTYPE SetOrientation(int32_t orientation) = 0;              // 20, 0 vert., 1 horiz.
    virtual double STDMETHODCALLTYPE PresetOptions() = 0;                                // 21
    virtual double STDMETHODCALLTYPE SizeVertical() = 0;                                 // 22
    virtual double STDMETHODCALLTYPE SizeHorizontalVessel() = 0;                         // 23
    virtual void STDMETHODCALLTYPE SetValue(double value, int32_t index) = 0;            // 24, slot unit
    virtual double STDMETHODCALLTYPE GetValue(int32_t index) = 0;                        // 25, slot unit
    virtual void STDMETHODCALLTYPE ClearValues() = 0;                                    // 26
    virtual double STDMETHODCALLTYPE CalcVerticalLevels(double* holdupTime) = 0;         // 27, *holdupTime s
    virtual double STDMETHODCALLTYPE CalcHorizontalLevelTime() = 0;                      // 28, returns s
    virtual HRESULT STDMETHODCALLTYPE AllocValues(int32_t count) = 0;                    // 29, slots
};

/* mingw-w64 finds a type's identifier through this association instead. */
#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(ISeparatorSizing, 0x81768303, 0xE824, 0x4BA0, 0x82, 0xEC, 0x74, 0xFD, 0x36, 0x24, 0x6B, 0xC7)
#endif

#else /* C, or C++ with CINTERFACE: the same table spelled out */

static const double kEmptyValue = KESTROL_EMPTY_VALUE;

typedef struct ISeparatorSizing ISeparatorSizing;

typedef struct ISeparatorSizingVtbl {
    HRESULT(STDMETHODCALLTYPE* QueryInterface)(ISeparatorSizing* This, REFIID riid, void** ppv);  /* 0 */
    ULONG(STDMETHODCALLTYPE* AddRef)(ISeparatorSizing* This);                                    /* 1 */
    ULONG(STDMETHODCALLTYPE* Release)(ISeparatorSizing* This);                                   /* 2 */
    HRESULT(STDMETHODCALLTYPE* Calculate)(ISeparatorSizing* This, int32_t ignored);              /* 3 */
    void(STDMETHODCALLTYPE* SetLightLiquidDensity)(ISeparatorSizing* This, double value);        /* 4, kg/m3 */
    void(STDMETHODCALLTYPE* SetLightLiquidMassFlow)(ISeparatorSizing* This, double value);       /* 5, kg/h */
    void(STDMETHODCALLTYPE* SetHeavyLiquidDensity)(ISeparatorSizing* This, double value);        /* 6, kg/m3 */
    void(STDMETHODCALLTYPE* SetHeavyLiquidMassFlow)(ISeparatorSizing* This, double value);       /* 7, kg/h */
    void(STDMETHODCALLTYPE* SetPressure)(ISeparatorSizing* This, double value);                  /* 8, kPa absolute */
    void(STDMETHODCALLTYPE* SetTemperature)(ISeparatorSizing* This, double value);               /* 9, deg C */
    void(STDMETHODCALLTYPE* SetVapourDensity)(ISeparatorSizing* This, double value);             /* 10, kg/m3 */
    void(STDMETHODCALLTYPE* SetVapourMassFlow)(ISeparatorSizing* This, double value);            /* 11, kg/h */
    void(STDMETHODCALLTYPE* SetLightLiquidVolumeFlow)(ISeparatorSizing* This, double value);     /* 12, m3/s */
    void(STDMETHODCALLTYPE* SetHeavyLiquidVolumeFlow)(ISeparatorSizing* This, double value);     /* 13, m3/s */
    void(STDMETHODCALLTYPE* SetVapourVolumeFlow)(ISeparatorSizing* This, double value);          /* 14, m3/s */
    void(STDMETHODCALLTYPE* SetAuxiliaryValue1)(ISeparatorSizing* This, double value);           /* 15, none; > 0 */
    void(STDMETHODCALLTYPE* SetAuxiliaryValue2)(ISeparatorSizing* This, double value);           /* 16, none; unread */
    void(STDMETHODCALLTYPE* SetAssumedLiquidPercent)(ISeparatorSizing* This, double value);      /* 17, % of vapour */
    void(STDMETHODCALLTYPE* SetPropertyCallback)(ISeparatorSizing* This, HostPropertyCallback callback); /* 18 */
    double*(STDMETHODCALLTYPE* GetVectorPointer)(ISeparatorSizing* This);                        /* 19, slot n at [n-1] */
    void(STDMETHODCALLTYPE* SetOrientation)(ISeparatorSizing* This, int32_t orientation);        /* 20, 0 vert., 1 horiz. */
    double(STDMETHODCALLTYPE* PresetOptions)(ISeparatorSizing* This);                            /* 21 */
    double(STDMETHODCALLTYPE* SizeVertical)(ISeparatorSizing* This);                             /* 22 */
    double(STDMETHODCALLTYPE* SizeHorizontalVessel)(ISeparatorSizing* This);                     /* 23 */
    void(STDMETHODCALLTYPE* SetValue)(ISeparatorSizing* This, double value, int32_t index);      /* 24, slot unit */
    double(STDMETHODCALLTYPE* GetValue)(ISeparatorSizing* This, int32_t index);                  /* 25, slot unit */
    void(STDMETHODCALLTYPE* ClearValues)(ISeparatorSizing* This);                                /* 26 */
    double(STDMETHODCALLTYPE* CalcVerticalLevels)(ISeparatorSizing* This, double* holdupTime);   /* 27, *holdupTime s */
    double(STDMETHODCALLTYPE* CalcHorizontalLevelTime)(ISeparatorSizing* This);                  /* 28, returns s */
    HRESULT(STDMETHODCALLTYPE* AllocValues)(ISeparatorSizing* This, int32_t count);              /* 29, slots */
} ISeparatorSizingVtbl;

struct ISeparatorSizing {
    const ISeparatorSizingVtbl* lpVtbl;
};

#endif

#endif /* KESTROL_KESTROL_H */
