// Drives every part of the header a C++ host uses, so that each declaration is compiled.
#include "kestrol/kestrol.h"

static double STDMETHODCALLTYPE Answer(int32_t code) { return code == 0 ? 5.0 : kestrol::kEmptyValue; }

int Size(ISeparatorSizing* sizing) {
    double holdup = KESTROL_EMPTY_VALUE;
    if (IID_ISeparatorSizing.Data1 + 1 != CLSID_SeparatorSizing.Data1) return 1;
    sizing->SetPropertyCallback(Answer);
    sizing->SetPressure(1000.0);
    sizing->SetTemperature(25.0);
    sizing->SetVapourMassFlow(5000.0);
    sizing->SetOrientation(1);
    const HRESULT hr = sizing->Calculate(0);
    if (hr == SIZING_E_ORIENTATION || FAILED(hr)) return 2;
    double* vector = sizing->GetVectorPointer();
    (void)sizing->CalcVerticalLevels(&holdup);
    return vector[0] == kestrol::kEmptyValue || sizing->GetValue(2) == kestrol::kEmptyValue;
}
