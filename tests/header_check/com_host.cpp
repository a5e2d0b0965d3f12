// A C++ host that finds the interface's identifier from its type alone: links only when the
// header associates the UUID with ISeparatorSizing.
#include "kestrol/kestrol.h"

int main() {
    if (FAILED(CoInitialize(NULL))) return 1;
    ISeparatorSizing* sizing = NULL;
    const HRESULT hr = CoCreateInstance(CLSID_SeparatorSizing, NULL, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&sizing));
    const bool same = IsEqualGUID(__uuidof(ISeparatorSizing), IID_ISeparatorSizing) != 0;
    if (SUCCEEDED(hr)) sizing->Release();
    CoUninitialize();
    return same ? 0 : 2;
}
