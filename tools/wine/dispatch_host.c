/* A host that knows Kestrol.Sizing only through IDispatch, as a script engine does: every
 * member found by GetIDsOfNames and called through Invoke. It loads a case file, sizes it and
 * prints, one fact a line:
 *   sized <VARIANT_BOOL> | result NAME <hex double> | result NAME null | result NAME text TEXT
 *   slot N <hex double> | error MEMBER 0x........ DESCRIPTION | json (then the document)
 * usage: dispatch_host CASE.json [RESULT_NAME ...]
 */
#define COBJMACROS
#include <windows.h>
#include <oleauto.h>
#include <stdio.h>
#include <string.h>

static IDispatch* sizing;
static int ok = 1;

static DISPID Member(const wchar_t* name) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[1] = {(LPOLESTR)name};
    const HRESULT hr = IDispatch_GetIDsOfNames(sizing, &IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) {
        printf("getidsofnames %ls 0x%08lX\n", name, (unsigned long)hr);
        ok = 0;
    }
    return id;
}

/* Calls a member with up to two arguments (given in order; Invoke takes them reversed). */
static HRESULT Call(const wchar_t* name, WORD flags, VARIANT* args, UINT count, VARIANT* result) {
    VARIANT reversed[2];
    DISPPARAMS params = {reversed, NULL, count, 0};
    DISPID put = DISPID_PROPERTYPUT;
    EXCEPINFO exception;
    UINT argumentError = 0;
    for (UINT i = 0; i < count; ++i) reversed[count - 1 - i] = args[i];
    if (flags == DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &put;
        params.cNamedArgs = 1;
    }
    memset(&exception, 0, sizeof exception);
    if (result != NULL) VariantInit(result);
    const HRESULT hr = IDispatch_Invoke(sizing, Member(name), &IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result,
                                        &exception, &argumentError);
    if (hr == DISP_E_EXCEPTION) {
        printf("error %ls 0x%08lX %ls\n", name, (unsigned long)exception.scode,
               exception.bstrDescription != NULL ? exception.bstrDescription : L"(no description)");
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrHelpFile);
    } else if (FAILED(hr)) {
        printf("invoke %ls 0x%08lX\n", name, (unsigned long)hr);
        ok = 0;
    }
    return hr;
}

static VARIANT Text(const wchar_t* text) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(text);
    return v;
}

static VARIANT Long(LONG n) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = n;
    return v;
}

static void PrintResult(const wchar_t* name) {
    VARIANT arg = Text(name), value;
    if (SUCCEEDED(Call(L"Result", DISPATCH_METHOD, &arg, 1, &value))) {
        if (V_VT(&value) == VT_R8) printf("result %ls %a\n", name, V_R8(&value));
        else if (V_VT(&value) == VT_NULL) printf("result %ls null\n", name);
        else if (V_VT(&value) == VT_BSTR) printf("result %ls text %ls\n", name, V_BSTR(&value));
        else printf("result %ls vartype %u\n", name, (unsigned)V_VT(&value));
    }
    VariantClear(&value);
    VariantClear(&arg);
}

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: dispatch_host CASE.json [RESULT_NAME ...]\n");
        return 2;
    }
    HRESULT hr = CoInitialize(NULL);
    CLSID clsid;
    if (SUCCEEDED(hr)) hr = CLSIDFromProgID(L"Kestrol.Sizing", &clsid);
    if (SUCCEEDED(hr)) hr = CoCreateInstance(&clsid, NULL, CLSCTX_INPROC_SERVER, &IID_IDispatch, (void**)&sizing);
    printf("create 0x%08lX\n", (unsigned long)hr);
    if (FAILED(hr)) return 1;

    VARIANT path = Text(argv[1]), value;
    if (FAILED(Call(L"LoadCase", DISPATCH_METHOD, &path, 1, NULL))) ok = 0;
    VariantClear(&path);
    if (SUCCEEDED(Call(L"Size", DISPATCH_METHOD, NULL, 0, &value))) printf("sized %d\n", (int)V_BOOL(&value));
    for (int i = 2; i < argc; ++i) PrintResult(argv[i]);
    for (LONG slot = 1; slot <= 39; ++slot) {
        VARIANT arg = Long(slot);
        if (SUCCEEDED(Call(L"GetValue", DISPATCH_METHOD, &arg, 1, &value)) && V_VT(&value) == VT_R8)
            printf("slot %ld %a\n", (long)slot, V_R8(&value));
    }

    /* Refusals come back as DISP_E_EXCEPTION with the sentence in EXCEPINFO. */
    VARIANT put[2] = {Text(L"vapor_mass_flow_kg_h"), Long(1)};
    Call(L"Value", DISPATCH_PROPERTYPUT, put, 2, NULL);
    VariantClear(&put[0]);
    VARIANT slot = Long(40);
    Call(L"GetValue", DISPATCH_METHOD, &slot, 1, &value);

    if (SUCCEEDED(Call(L"Json", DISPATCH_PROPERTYGET, NULL, 0, &value)) && V_VT(&value) == VT_BSTR) {
        /* The refused put above left the case and its sizing as they were. */
        printf("json\n%ls\n", V_BSTR(&value));
    }
    VariantClear(&value);
    const ULONG remaining = IDispatch_Release(sizing);
    printf("release %lu\n", (unsigned long)remaining);
    CoUninitialize();
    return ok && remaining == 0 ? 0 : 1;
}
