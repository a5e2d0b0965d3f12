#include "automation/sizing_automation.h"

#include <cerrno>
#include <cstdio>
#include <new>
#include <utility>
#include <vector>

#include "host/output_file.h"

namespace kestrol::automation {
namespace {

std::atomic<LONG> liveObjects{0};

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

std::string Utf8(const wchar_t* text, std::size_t length) {
    if (length == 0) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), utf8.data(), n, nullptr, nullptr);
    return utf8;
}

// A null BSTR is the empty string.
std::string Utf8(BSTR text) { return text == nullptr ? std::string() : Utf8(text, SysStringLen(text)); }

BSTR NewString(const std::string& utf8) {
    const std::wstring wide = Wide(utf8);
    BSTR text = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    if (text == nullptr) throw std::bad_alloc();
    return text;
}

/// The VARIANT a script passed, by reference or not, as the case reads it.
ScriptValue FromVariant(const VARIANT& given) {
    VARIANT v;
    VariantInit(&v);
    // The SDK declares the source unqualified; it is only read.
    if (FAILED(VariantCopyInd(&v, const_cast<VARIANT*>(&given)))) throw std::bad_alloc();
    ScriptValue value;
    switch (V_VT(&v)) {
        case VT_EMPTY:
        case VT_NULL: value.kind = ScriptValue::Kind::Missing; break;
        case VT_BSTR:
            value.kind = ScriptValue::Kind::Text;
            value.text = Utf8(V_BSTR(&v));
            break;
        case VT_I1: case VT_I2: case VT_I4: case VT_I8: case VT_INT:
        case VT_UI1: case VT_UI2: case VT_UI4: case VT_UI8: case VT_UINT:
        case VT_R4: case VT_R8: case VT_CY: case VT_DECIMAL: {
            VARIANT number;
            VariantInit(&number);
            if (FAILED(VariantChangeType(&number, &v, 0, VT_R8))) {
                value.kind = ScriptValue::Kind::Other;
                value.text = "a number beyond a double";
            } else {
                value.kind = ScriptValue::Kind::Number;
                value.number = V_R8(&number);
            }
            break;
        }
        case VT_BOOL: value.kind = ScriptValue::Kind::Other; value.text = "a Boolean"; break;
        case VT_DATE: value.kind = ScriptValue::Kind::Other; value.text = "a date"; break;
        default: {
            char words[48];
            std::snprintf(words, sizeof words, "a value of VARIANT type %u", static_cast<unsigned>(V_VT(&v)));
            value.kind = ScriptValue::Kind::Other;
            value.text = words;
        }
    }
    VariantClear(&v);
    return value;
}

void ToVariant(const ScriptResult& r, VARIANT* out) {
    VariantInit(out);
    switch (r.kind) {
        case ScriptResult::Kind::Null: V_VT(out) = VT_NULL; break;
        case ScriptResult::Kind::Number:
            V_VT(out) = VT_R8;
            V_R8(out) = r.number;
            break;
        case ScriptResult::Kind::Text:
            V_BSTR(out) = NewString(r.text);
            V_VT(out) = VT_BSTR;
            break;
    }
}

// Out arguments are checked, and cleared, in one place.
template <class T>
void CheckOut(T* out) {
    if (out == nullptr) throw std::invalid_argument("a result argument is null");
}

/// A case file's path as LoadCase reads it: an ASCII path exactly as the command line takes
/// it; any other through the wide file calls, with the UTF-8 name in the messages.
void LoadCaseFrom(ScriptCase& c, BSTR path) {
    const std::string utf8 = Utf8(path);
    bool ascii = true;
    for (const unsigned char ch : utf8) ascii = ascii && ch < 0x80;
    if (ascii) {
        c.LoadCase(utf8);
        return;
    }
    FILE* file = _wfopen(path, L"rb");
    if (file == nullptr) throw host::InputError(utf8, "", "cannot be read (no such file, or not allowed)");
    std::string text;
    char buffer[65536];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
        text.append(buffer, n);
        if (text.size() > host::kInputLimitBytes) {
            std::fclose(file);
            throw host::InputError(utf8, "", "is larger than the 4 GiB an input may hold");
        }
    }
    std::fclose(file);
    c.LoadCaseText(text, utf8);
}

/// The optional path a member was given: empty when left out (or given as Empty or Null).
std::wstring OptionalPath(const std::string& member, const VARIANT& given) {
    VARIANT v;
    VariantInit(&v);
    if (FAILED(VariantCopyInd(&v, const_cast<VARIANT*>(&given)))) throw std::bad_alloc();
    const VARTYPE type = V_VT(&v);
    const bool leftOut = type == VT_EMPTY || type == VT_NULL || (type == VT_ERROR && V_ERROR(&v) == DISP_E_PARAMNOTFOUND);
    std::wstring path;
    if (type == VT_BSTR && V_BSTR(&v) != nullptr) path.assign(V_BSTR(&v), SysStringLen(V_BSTR(&v)));
    VariantClear(&v);
    if (type == VT_BSTR && path.empty()) throw host::InputError(member + ": the path is empty: give the file to write, or leave it out");
    if (type != VT_BSTR && !leftOut) throw host::InputError(member + ": the path must be text (the file to write), or left out");
    return path;
}

/// Writes a whole output as the command line does: an ASCII path through the command line's own
/// output file (the target replaced only when complete); any other through the wide file calls.
void WriteOutput(const std::wstring& path, const std::string& bytes) {
    const std::string utf8 = Utf8(path.data(), path.size());
    bool ascii = true;
    for (const unsigned char ch : utf8) ascii = ascii && ch < 0x80;
    if (ascii) {
        host::OutputFile file(utf8);
        file.Write(bytes);
        file.Commit();
        return;
    }
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (file == nullptr) throw host::CannotWrite(utf8, errno);
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const int error = errno;
    if (std::fclose(file) != 0 || !written) throw host::CannotWrite(utf8, written ? errno : error);
}

}  // namespace

LONG LiveAutomationObjects() noexcept { return liveObjects.load(); }

std::wstring ModulePath() {
    // Found from an address inside it, whichever entry point the module was linked with.
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&LiveAutomationObjects), &self))
        return {};
    wchar_t path[kModulePathChars];
    const DWORD n = GetModuleFileNameW(self, path, kModulePathChars);
    if (n == 0 || n >= kModulePathChars) return {};
    return std::wstring(path, n);
}

SizingAutomation* SizingAutomation::Create() noexcept {
    const std::wstring path = ModulePath();
    if (path.empty()) return nullptr;
    ITypeLib* library = nullptr;
    if (FAILED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library))) return nullptr;
    ITypeInfo* info = nullptr;
    const HRESULT hr = library->GetTypeInfoOfGuid(IID_IKestrolSizing, &info);
    library->Release();
    if (FAILED(hr)) return nullptr;
    SizingAutomation* object = new (std::nothrow) SizingAutomation(info);
    if (object == nullptr) info->Release();
    return object;
}

SizingAutomation::SizingAutomation(ITypeInfo* info) noexcept : info_(info) { ++liveObjects; }

SizingAutomation::~SizingAutomation() {
    info_->Release();
    --liveObjects;
}

HRESULT SizingAutomation::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IDispatch) || IsEqualGUID(riid, IID_IKestrolSizing)) {
        *ppv = static_cast<IKestrolSizing*>(this);
    } else if (IsEqualGUID(riid, IID_ISupportErrorInfo)) {
        *ppv = static_cast<ISupportErrorInfo*>(this);
    } else {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG SizingAutomation::AddRef() { return static_cast<ULONG>(++references_); }

ULONG SizingAutomation::Release() {
    const LONG remaining = --references_;
    if (remaining == 0) delete this;
    return static_cast<ULONG>(remaining);
}

HRESULT SizingAutomation::GetTypeInfoCount(UINT* count) {
    if (count == nullptr) return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT SizingAutomation::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    if (info == nullptr) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    info_->AddRef();
    *info = info_;
    return S_OK;
}

HRESULT SizingAutomation::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (!IsEqualGUID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    return DispGetIDsOfNames(info_, names, count, ids);
}

HRESULT SizingAutomation::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                 EXCEPINFO* exception, UINT* argumentError) {
    if (!IsEqualGUID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    // JScript reads s.Value("key") and s.Status as calls: a call may read a property too.
    if ((flags & DISPATCH_METHOD) != 0) flags |= DISPATCH_PROPERTYGET;
    lastCode_ = S_OK;
    HRESULT hr = DispInvoke(static_cast<IKestrolSizing*>(this), info_, id, flags, params, result, exception, argumentError);
    if (FAILED(lastCode_) && (hr == DISP_E_EXCEPTION || hr == lastCode_)) {
        // The member raised: make sure the caller's EXCEPINFO carries the sentence, whether or
        // not the dispatcher copied it from the error object.
        if (exception != nullptr) {
            if (exception->bstrDescription == nullptr) exception->bstrDescription = SysAllocString(lastError_.c_str());
            if (exception->bstrSource == nullptr) exception->bstrSource = SysAllocString(L"Kestrol.Sizing");
            exception->wCode = 0;
            exception->scode = lastCode_;
        }
        hr = DISP_E_EXCEPTION;
    }
    return hr;
}

HRESULT SizingAutomation::InterfaceSupportsErrorInfo(REFIID riid) {
    return IsEqualGUID(riid, IID_IKestrolSizing) ? S_OK : S_FALSE;
}

HRESULT SizingAutomation::Raise(HRESULT code, const std::string& sentence) noexcept {
    lastCode_ = code;
    try {
        lastError_ = Wide(sentence);
    } catch (...) {
        lastError_.clear();
    }
    ICreateErrorInfo* create = nullptr;
    if (SUCCEEDED(CreateErrorInfo(&create))) {
        create->SetGUID(IID_IKestrolSizing);
        create->SetSource(const_cast<LPOLESTR>(L"Kestrol.Sizing"));
        create->SetDescription(const_cast<LPOLESTR>(lastError_.c_str()));
        IErrorInfo* error = nullptr;
        if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&error)))) {
            SetErrorInfo(0, error);
            error->Release();
        }
        create->Release();
    }
    return code;
}

// The one exception barrier of the automation object: every member runs through it, and what
// it catches leaves as an HRESULT with its sentence in the error object.
template <class F>
HRESULT SizingAutomation::Guarded(F&& body) noexcept {
    try {
        std::forward<F>(body)();
        return S_OK;
    } catch (const host::InputError& e) {
        return Raise(KESTROL_E_CASE, e.what());
    } catch (const std::invalid_argument& e) {
        return Raise(E_POINTER, e.what());
    } catch (const std::bad_alloc&) {
        return Raise(E_OUTOFMEMORY, "the machine ran out of memory");
    } catch (const std::exception& e) {
        return Raise(E_FAIL, e.what());
    } catch (...) {
        return Raise(E_UNEXPECTED, "an unexpected failure inside Kestrol.Sizing");
    }
}

template <class T, class F>
HRESULT SizingAutomation::Answer(T* out, F&& value) noexcept {
    return Guarded([&] {
        CheckOut(out);
        *out = std::forward<F>(value)();
    });
}

HRESULT SizingAutomation::Clear() {
    return Guarded([&] { case_.Clear(); });
}

HRESULT SizingAutomation::get_Value(BSTR key, VARIANT* value) {
    return Guarded([&] {
        CheckOut(value);
        ToVariant(case_.Value(Utf8(key)), value);
    });
}

HRESULT SizingAutomation::put_Value(BSTR key, VARIANT value) {
    return Guarded([&] { case_.SetValue(Utf8(key), FromVariant(value)); });
}

HRESULT SizingAutomation::SetInput(BSTR key, VARIANT value) { return put_Value(key, value); }

HRESULT SizingAutomation::LoadCase(BSTR path) {
    return Guarded([&] { LoadCaseFrom(case_, path); });
}

HRESULT SizingAutomation::Size(VARIANT_BOOL* sized) {
    return Answer(sized, [&] { return case_.Size() ? VARIANT_TRUE : VARIANT_FALSE; });
}

HRESULT SizingAutomation::get_Status(BSTR* status) {
    return Answer(status, [&] { return NewString(case_.Status()); });
}

HRESULT SizingAutomation::get_Message(BSTR* message) {
    return Answer(message, [&] { return NewString(case_.Message()); });
}

HRESULT SizingAutomation::Result(BSTR name, VARIANT* value) {
    return Guarded([&] {
        CheckOut(value);
        ToVariant(case_.Result(Utf8(name)), value);
    });
}

HRESULT SizingAutomation::get_ResultNames(VARIANT* names) {
    return Guarded([&] {
        CheckOut(names);
        VariantInit(names);
        const std::vector<std::string>& list = ScriptCase::ResultNames();
        SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(list.size()));
        if (array == nullptr) throw std::bad_alloc();
        for (LONG i = 0; i < static_cast<LONG>(list.size()); ++i) {
            VARIANT item;
            VariantInit(&item);
            try {
                V_BSTR(&item) = NewString(list[static_cast<std::size_t>(i)]);
            } catch (...) {
                SafeArrayDestroy(array);
                throw;
            }
            V_VT(&item) = VT_BSTR;
            SafeArrayPutElement(array, &i, &item);  // copies the string
            VariantClear(&item);
        }
        V_VT(names) = VT_ARRAY | VT_VARIANT;
        V_ARRAY(names) = array;
    });
}

HRESULT SizingAutomation::get_Json(BSTR* document) {
    return Answer(document, [&] { return NewString(case_.Json()); });
}

HRESULT SizingAutomation::Report(BSTR units, BSTR* report) {
    return Answer(report, [&] { return NewString(case_.Report(Utf8(units))); });
}

HRESULT SizingAutomation::get_Svg(BSTR* drawing) {
    return Answer(drawing, [&] { return NewString(case_.Svg()); });
}

HRESULT SizingAutomation::get_FindingCount(LONG* count) {
    return Answer(count, [&] { return static_cast<LONG>(case_.FindingCount()); });
}

HRESULT SizingAutomation::FindingCode(LONG i, BSTR* code) {
    return Answer(code, [&] { return NewString(case_.FindingCode(i)); });
}

HRESULT SizingAutomation::FindingSeverity(LONG i, BSTR* severity) {
    return Answer(severity, [&] { return NewString(case_.FindingSeverity(i)); });
}

HRESULT SizingAutomation::FindingText(LONG i, BSTR* text) {
    return Answer(text, [&] { return NewString(case_.FindingText(i)); });
}

HRESULT SizingAutomation::GetValue(LONG slot, double* value) {
    return Answer(value, [&] { return case_.GetValue(slot); });
}

HRESULT SizingAutomation::get_Version(BSTR* version) {
    return Answer(version, [&] { return NewString(ScriptCase::Version()); });
}

HRESULT SizingAutomation::Datasheet(VARIANT path, BSTR* html) {
    return Guarded([&] {
        CheckOut(html);
        const std::wstring target = OptionalPath("Datasheet", path);
        const std::string page = case_.Datasheet();
        if (!target.empty()) WriteOutput(target, page);
        *html = NewString(page);
    });
}

}  // namespace kestrol::automation
