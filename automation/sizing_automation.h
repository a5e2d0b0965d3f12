// The automation object: IKestrolSizing, dual, over a ScriptCase. IDispatch comes from the
// type library embedded in the DLL, so late binding (VBScript, JScript) and early binding
// (VBA's reference) reach the same members; errors go out as IErrorInfo and EXCEPINFO with the
// command line's sentence.
#pragma once

#include <atomic>
#include <string>

#include "automation/script_case.h"
#include "platform/windows_api.h"

#include <oaidl.h>

#include "kestrol_automation.h"

namespace kestrol::automation {

/// Refused input, a result asked for too early, an unknown name: a failure of the case, not of
/// the object. In FACILITY_ITF beside the sizing codes 0x80040201 to 0x80040208.
inline constexpr HRESULT KESTROL_E_CASE = static_cast<HRESULT>(0x80040301L);

class SizingAutomation final : public IKestrolSizing, public ISupportErrorInfo {
public:
    /// A new object with one reference, or null (out of memory, or the type library could not
    /// be read from the module).
    static SizingAutomation* Create() noexcept;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, UINT* argumentError) override;
    // ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override;
    // IKestrolSizing, in the type library's order
    HRESULT STDMETHODCALLTYPE Clear() override;
    HRESULT STDMETHODCALLTYPE get_Value(BSTR key, VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE put_Value(BSTR key, VARIANT value) override;
    HRESULT STDMETHODCALLTYPE SetInput(BSTR key, VARIANT value) override;
    HRESULT STDMETHODCALLTYPE LoadCase(BSTR path) override;
    HRESULT STDMETHODCALLTYPE Size(VARIANT_BOOL* sized) override;
    HRESULT STDMETHODCALLTYPE get_Status(BSTR* status) override;
    HRESULT STDMETHODCALLTYPE get_Message(BSTR* message) override;
    HRESULT STDMETHODCALLTYPE Result(BSTR name, VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE get_ResultNames(VARIANT* names) override;
    HRESULT STDMETHODCALLTYPE get_Json(BSTR* document) override;
    HRESULT STDMETHODCALLTYPE Report(BSTR units, BSTR* report) override;
    HRESULT STDMETHODCALLTYPE get_Svg(BSTR* drawing) override;
    HRESULT STDMETHODCALLTYPE get_FindingCount(LONG* count) override;
    HRESULT STDMETHODCALLTYPE FindingCode(LONG i, BSTR* code) override;
    HRESULT STDMETHODCALLTYPE FindingSeverity(LONG i, BSTR* severity) override;
    HRESULT STDMETHODCALLTYPE FindingText(LONG i, BSTR* text) override;
    HRESULT STDMETHODCALLTYPE GetValue(LONG slot, double* value) override;
    HRESULT STDMETHODCALLTYPE get_Version(BSTR* version) override;
    HRESULT STDMETHODCALLTYPE Datasheet(VARIANT path, BSTR* html) override;

private:
    explicit SizingAutomation(ITypeInfo* info) noexcept;
    ~SizingAutomation();
    template <class F>
    HRESULT Guarded(F&& body) noexcept;
    /// A member that answers one value: `*out` set to what `value` returns, through Guarded.
    template <class T, class F>
    HRESULT Answer(T* out, F&& value) noexcept;
    HRESULT Raise(HRESULT code, const std::string& sentence) noexcept;

    std::atomic<LONG> references_{1};
    ITypeInfo* info_;
    ScriptCase case_;
    /// The sentence of the last error raised, for an Invoke whose EXCEPINFO it did not reach.
    std::wstring lastError_;
    HRESULT lastCode_ = S_OK;
};

/// Automation objects alive in this process.
LONG LiveAutomationObjects() noexcept;

/// The module path buffer [characters]; a path that fills it may be cut short and is refused.
inline constexpr DWORD kModulePathChars = 1024;

/// The DLL's own file, as the loader knows it; empty when it cannot be told.
std::wstring ModulePath();

}  // namespace kestrol::automation
