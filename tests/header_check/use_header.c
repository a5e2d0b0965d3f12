/* Drives every part of the header a C host uses, so that each declaration is compiled. */
#include "kestrol/kestrol.h"

static double STDMETHODCALLTYPE Answer(int32_t code) { return code == 0 ? 5.0 : kEmptyValue; }

int Size(ISeparatorSizing* sizing, const IID* iid, const CLSID* clsid) {
    double holdup = KESTROL_EMPTY_VALUE;
    double* vector;
    HRESULT hr;
    if (iid->Data1 + 1 != clsid->Data1) return 1;
    if (IID_ISeparatorSizing.Data1 + 1 != CLSID_SeparatorSizing.Data1) return 1;
    sizing->lpVtbl->SetPropertyCallback(sizing, Answer);
    sizing->lpVtbl->SetPressure(sizing, 1000.0);
    sizing->lpVtbl->SetTemperature(sizing, 25.0);
    sizing->lpVtbl->SetVapourMassFlow(sizing, 5000.0);
    sizing->lpVtbl->SetOrientation(sizing, 1);
    hr = sizing->lpVtbl->Calculate(sizing, 0);
    if (hr == SIZING_E_ORIENTATION || FAILED(hr)) return 2;
    vector = sizing->lpVtbl->GetVectorPointer(sizing);
    (void)sizing->lpVtbl->CalcVerticalLevels(sizing, &holdup);
    return vector[0] == kEmptyValue || sizing->lpVtbl->GetValue(sizing, 2) == kEmptyValue;
}
