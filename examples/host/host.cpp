// A Windows host in C++ written from kestrol.h alone: it finds the class by its ProgID, creates
// one object, sizes the compressor suction scrubber of examples/cases/gas_scrubber_vertical.json
// as a vertical vessel and prints every slot of the vector, one a line, as com_host does:
//
//   progid 0x........ | create 0x........ | calculate 0x........ | slot N <double>
//
// Seventeen significant digits read back as the same double, so the numbers can be compared
// with another build's bit for bit (C++98 has no %a). Compiles as C++98 or later.
#include <cstdio>

#include "kestrol/kestrol.h"

int main() {
    if (FAILED(CoInitialize(NULL))) return 1;

    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(L"Quorvanix.SeparatorSizing", &clsid);  // KESTROL_PROGID
    std::printf("progid 0x%08lX\n", static_cast<unsigned long>(hr));
    ISeparatorSizing* sizing = NULL;
    if (SUCCEEDED(hr)) {
        // IID_PPV_ARGS takes the interface's identifier from its type (__uuidof).
        hr = CoCreateInstance(clsid, NULL, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&sizing));
        std::printf("create 0x%08lX\n", static_cast<unsigned long>(hr));
    }
    if (FAILED(hr) || sizing == NULL) {
        CoUninitialize();
        return 1;
    }

    // The interface's units: kPa absolute, deg C, kg/h and kg/m3.
    sizing->SetPressure(3500.0);
    sizing->SetTemperature(35.0);
    sizing->SetVapourMassFlow(60000.0);
    sizing->SetVapourDensity(28.0);
    sizing->SetLightLiquidMassFlow(1500.0);
    sizing->SetLightLiquidDensity(720.0);
    sizing->SetAuxiliaryValue1(1.0);
    sizing->SetOrientation(0);  // vertical
    hr = sizing->Calculate(0);
    std::printf("calculate 0x%08lX\n", static_cast<unsigned long>(hr));

    // Slot 39 cannot be read through GetValue; the vector's pointer holds slot n at [n - 1].
    const double* vector = sizing->GetVectorPointer();
    for (int32_t slot = 1; slot <= 39; ++slot) {
        const double value = slot < 39 ? sizing->GetValue(slot) : vector[slot - 1];
        std::printf("slot %d %.17g\n", static_cast<int>(slot), value);
    }

    sizing->Release();
    CoUninitialize();
    return SUCCEEDED(hr) ? 0 : 1;
}
