/* The COM types the public header needs, in plain C89 and C++98, for compiling the header
 * natively under the old standards: the project's own stand-in is C++17. Only the header's
 * text is checked this way; mingw-w64's SDK checks it for real when it is installed. */
#ifndef KESTROL_HEADER_CHECK_COM_TYPES_H
#define KESTROL_HEADER_CHECK_COM_TYPES_H

#include <stdint.h>

typedef int32_t HRESULT;
typedef uint32_t ULONG;
typedef struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
} GUID;
typedef GUID IID;
typedef GUID CLSID;
#define STDMETHODCALLTYPE
#define FAILED(hr) ((HRESULT)(hr) < 0)

#ifdef __cplusplus
typedef const IID& REFIID;
struct IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;
};
#else
typedef const IID* REFIID;
#endif

#endif
