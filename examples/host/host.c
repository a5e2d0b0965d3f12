/*
 * A Windows host in C that knows the sizing component only through kestrol.h and COM: it finds
 * the class by its ProgID, creates one object, sets the inputs given on the command line,
 * orients, calculates and prints what it got back, one fact a line:
 *
 *   com_host [--unmask] ORIENTATION [Field=value ...] [callback0=value] [callback1=value]
 *
 *   progid OK | clsid OK | create 0x........ | calculate 0x........ | slot N <hex double>
 *   unload-while-alive 0x........ | unload-after-release 0x........ | fpu-control kept|changed
 *
 * --unmask unmasks the invalid, divide-by-zero and overflow exceptions (x87 and SSE) before
 * the first call, as some simulators do, and reports whether the component gave that control
 * state back. Exit status 0 when every step it could check went as a host needs.
 */
#include <float.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <xmmintrin.h>

#include "kestrol/kestrol.h"

typedef HRESULT(STDAPICALLTYPE* CanUnloadNowFunction)(void);

static int answerCount = 0;
static double answers[2] = {KESTROL_EMPTY_VALUE, KESTROL_EMPTY_VALUE};

static double STDMETHODCALLTYPE AnswerHost(int32_t code) {
    if (code == 0 || code == 1) return answers[code];
    return KESTROL_EMPTY_VALUE;
}

/* Applies one Field=value to the object; 0 when the field is unknown. */
static int SetInput(ISeparatorSizing* sizing, const char* name, double value) {
    const ISeparatorSizingVtbl* v = sizing->lpVtbl;
    if (strcmp(name, "LightLiquidDensity") == 0) v->SetLightLiquidDensity(sizing, value);
    else if (strcmp(name, "LightLiquidMassFlow") == 0) v->SetLightLiquidMassFlow(sizing, value);
    else if (strcmp(name, "HeavyLiquidDensity") == 0) v->SetHeavyLiquidDensity(sizing, value);
    else if (strcmp(name, "HeavyLiquidMassFlow") == 0) v->SetHeavyLiquidMassFlow(sizing, value);
    else if (strcmp(name, "Pressure") == 0) v->SetPressure(sizing, value);
    else if (strcmp(name, "Temperature") == 0) v->SetTemperature(sizing, value);
    else if (strcmp(name, "VapourDensity") == 0) v->SetVapourDensity(sizing, value);
    else if (strcmp(name, "VapourMassFlow") == 0) v->SetVapourMassFlow(sizing, value);
    else if (strcmp(name, "VapourVolumeFlow") == 0) v->SetVapourVolumeFlow(sizing, value);
    else if (strcmp(name, "LightLiquidVolumeFlow") == 0) v->SetLightLiquidVolumeFlow(sizing, value);
    else if (strcmp(name, "HeavyLiquidVolumeFlow") == 0) v->SetHeavyLiquidVolumeFlow(sizing, value);
    else if (strcmp(name, "AssumedLiquidPercent") == 0) v->SetAssumedLiquidPercent(sizing, value);
    else if (strcmp(name, "AuxiliaryValue1") == 0) v->SetAuxiliaryValue1(sizing, value);
    else if (strcmp(name, "AuxiliaryValue2") == 0) v->SetAuxiliaryValue2(sizing, value);
    else return 0;
    return 1;
}

/* The host's floating-point control state: x87 control word and the SSE control bits. */
struct ControlState {
    unsigned int x87;
    unsigned int sse;
};

static struct ControlState ReadControl(void) {
    struct ControlState state;
    state.x87 = _controlfp(0, 0);
    state.sse = _mm_getcsr() & ~0x3Fu; /* without the status flags */
    return state;
}

static void UnmaskExceptions(void) {
    const unsigned int trapped = _EM_INVALID | _EM_ZERODIVIDE | _EM_OVERFLOW;
    _controlfp(_controlfp(0, 0) & ~trapped, _MCW_EM);
    /* invalid (bit 7), divide-by-zero (bit 9) and overflow (bit 10) masks of MXCSR */
    _mm_setcsr(_mm_getcsr() & ~(0x80u | 0x200u | 0x400u));
}

int main(int argc, char** argv) {
    int unmask = 0;
    int first = 1;
    if (argc > 1 && strcmp(argv[1], "--unmask") == 0) {
        unmask = 1;
        first = 2;
    }
    if (argc <= first) {
        fprintf(stderr, "usage: com_host [--unmask] ORIENTATION [Field=value ...]\n");
        return 2;
    }
    const int orientation = atoi(argv[first]);

    HRESULT hr = CoInitialize(NULL);
    if (FAILED(hr)) {
        printf("coinitialize 0x%08lX\n", (unsigned long)hr);
        return 1;
    }
    CLSID clsid;
    hr = CLSIDFromProgID(L"" KESTROL_PROGID, &clsid);
    printf("progid 0x%08lX\n", (unsigned long)hr);
    if (FAILED(hr)) return 1;
    printf("clsid %s\n", IsEqualCLSID(&clsid, &CLSID_SeparatorSizing) ? "OK" : "WRONG");

    ISeparatorSizing* sizing = NULL;
    hr = CoCreateInstance(&clsid, NULL, CLSCTX_INPROC_SERVER, &IID_ISeparatorSizing, (void**)&sizing);
    printf("create 0x%08lX\n", (unsigned long)hr);
    if (FAILED(hr) || sizing == NULL) return 1;

    int ok = 1;
    for (int i = first + 1; i < argc; ++i) {
        char name[64];
        const char* equals = strchr(argv[i], '=');
        if (equals == NULL || (size_t)(equals - argv[i]) >= sizeof name) {
            fprintf(stderr, "not Field=value: %s\n", argv[i]);
            return 2;
        }
        memcpy(name, argv[i], (size_t)(equals - argv[i]));
        name[equals - argv[i]] = '\0';
        const double value = strtod(equals + 1, NULL);
        if (strcmp(name, "callback0") == 0) {
            answers[0] = value;
            ++answerCount;
        } else if (strcmp(name, "callback1") == 0) {
            answers[1] = value;
            ++answerCount;
        } else if (!SetInput(sizing, name, value)) {
            fprintf(stderr, "unknown field: %s\n", name);
            return 2;
        }
    }
    if (answerCount > 0) sizing->lpVtbl->SetPropertyCallback(sizing, AnswerHost);

    if (unmask) UnmaskExceptions();
    const struct ControlState before = ReadControl();
    sizing->lpVtbl->SetOrientation(sizing, orientation);
    hr = sizing->lpVtbl->Calculate(sizing, 0);
    const struct ControlState after = ReadControl();
    printf("calculate 0x%08lX\n", (unsigned long)hr);
    if (before.x87 != after.x87 || before.sse != after.sse) {
        printf("fpu-control changed x87 %08X->%08X sse %08X->%08X\n", before.x87, after.x87, before.sse, after.sse);
        ok = 0;
    } else {
        printf("fpu-control kept\n");
    }
    _clearfp();
    _mm_setcsr(_mm_getcsr() & ~0x3Fu);

    const double* storage = sizing->lpVtbl->GetVectorPointer(sizing);
    for (int32_t slot = 1; slot <= 39; ++slot) {
        /* the last slot is not writable through SetValue; it is read where the host reads it */
        const double value = slot < 39 ? sizing->lpVtbl->GetValue(sizing, slot) : storage[slot - 1];
        printf("slot %d %a\n", (int)slot, value);
    }

    HMODULE server = GetModuleHandleA("Kestrol.dll");
    CanUnloadNowFunction canUnloadNow =
        server != NULL ? (CanUnloadNowFunction)(void (*)(void))GetProcAddress(server, "DllCanUnloadNow") : NULL;
    if (canUnloadNow == NULL) {
        printf("unload-while-alive unavailable\n");
        ok = 0;
    } else {
        const HRESULT alive = canUnloadNow();
        printf("unload-while-alive 0x%08lX\n", (unsigned long)alive);
        if (alive != S_FALSE) ok = 0;
    }
    const ULONG remaining = sizing->lpVtbl->Release(sizing);
    printf("release %lu\n", (unsigned long)remaining);
    if (canUnloadNow != NULL) {
        const HRESULT released = canUnloadNow();
        printf("unload-after-release 0x%08lX\n", (unsigned long)released);
        if (released != S_OK) ok = 0;
    }
    CoUninitialize();
    return ok ? 0 : 1;
}
