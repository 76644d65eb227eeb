// What the two classes of Tovalix.ocx share: texts across the COM boundary, the result
// dictionaries, error reports as IErrorInfo, the operator of a Windows host, and the IDispatch
// plumbing over the type library.
#pragma once

#include <windows.h>

#include <oaidl.h>
#include <ole2.h>
#undef MessageBox  // the Operator method, not the Win32 macro

#include <atomic>
#include <exception>
#include <new>
#include <string>

#include <tovalix/dictionary.hpp>
#include <tovalix/operator.hpp>

namespace tovalix::com {

// Objects alive and server locks: DllCanUnloadNow answers from these.
extern std::atomic<long> g_objects;
extern HMODULE g_module;

// The module's own type library (embedded as resource 1), loaded once per process.
HRESULT TypeLibrary(ITypeLib** library);

// BSTR (UTF-16) to UTF-8 and back; a null BSTR is the empty text.
std::string Utf8(BSTR text);
BSTR Bstr(const std::string& utf8);
// Replaces the BSTR in `slot` (a parameter passed by reference).
void Replace(BSTR* slot, const std::string& utf8);
// Received bytes that a host kept as characters: U+0000 to U+00FF are those bytes, any other
// character its Windows-1252 code, so both ChrW(byte) and Chr(byte) come back as the byte.
std::string Bytes(BSTR text);

// A Scripting.Dictionary holding `entries` in their order, values as strings.
HRESULT ResultObject(const Dictionary& entries, IDispatch** result);

// Records `description` as the thread's error information for `iid` and returns `hr`.
HRESULT Fail(HRESULT hr, const std::string& description, REFIID iid);

// Runs a method body; a C++ exception becomes an HRESULT with error information, never
// crosses the COM boundary.
template <typename Body>
HRESULT Guarded(REFIID iid, Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return Fail(E_OUTOFMEMORY, "TOVALIX: No hay memoria suficiente para la operación.", iid);
  } catch (const std::exception& error) {
    return Fail(E_FAIL, std::string("TOVALIX: ") + error.what(), iid);
  } catch (...) {
    return Fail(E_UNEXPECTED, "TOVALIX: Error inesperado.", iid);
  }
}

// True when any of the pointers is null.
template <typename... P>
bool AnyNull(P*... pointers) {
  return ((pointers == nullptr) || ...);
}

// The operator of a Windows host: modal MessageBoxW boxes owned by the active window, and one
// turn of the host's message loop per Pump. When TOVALIX_COM_MESSAGES names a file, each box is
// appended to it as one UTF-8 line "style/title/text" instead of shown (for unattended runs).
class WindowsOperator final : public Operator {
 public:
  WindowsOperator();
  void MessageBox(const std::string& text, int style, const std::string& title) override;
  void Pump() override;

 private:
  std::wstring record_;
};

// The answer to a call that enters while another operation of the control is still running
// (from an event the host handles during a wait): nothing is done, no port is touched.
inline constexpr const char* kOcupado =
    "TOVALIX: Hay otra operación en curso. Espere a que termine e intente de nuevo.";

// Marks the thread busy in an operation of the control. A call that enters from the host's
// message loop while another runs, of the same object or another (a Mostrador print while a
// Cliente sale waits on the same port), finds it taken and must return at once.
class OperationGuard {
 public:
  OperationGuard() : entered_(!busy_) { busy_ = true; }
  ~OperationGuard() {
    if (entered_) busy_ = false;
  }
  OperationGuard(const OperationGuard&) = delete;
  OperationGuard& operator=(const OperationGuard&) = delete;
  bool Entered() const { return entered_; }

 private:
  static thread_local bool busy_;
  bool entered_;
};

// DispInvoke, except that a variable a script host passes by reference (a Variant) reaches a
// typed by-reference parameter converted to its type, and comes back holding the value the
// method left there, as compiled hosts see it.
HRESULT InvokeByReference(void* object, ITypeInfo* type_info, DISPID id, WORD flags,
                          DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                          UINT* bad_argument);

// IUnknown, IDispatch (through the type library) and ISupportErrorInfo for a dual interface.
template <typename Interface, const IID& kIid>
class DispatchObject : public Interface, public ISupportErrorInfo {
 public:
  DispatchObject() { ++g_objects; }
  virtual ~DispatchObject() {
    if (type_info_ != nullptr) type_info_->Release();
    --g_objects;
  }
  DispatchObject(const DispatchObject&) = delete;
  DispatchObject& operator=(const DispatchObject&) = delete;

  HRESULT Init() {
    ITypeLib* library = nullptr;
    HRESULT hr = TypeLibrary(&library);
    if (FAILED(hr)) return hr;
    hr = library->GetTypeInfoOfGuid(kIid, &type_info_);
    library->Release();
    return hr;
  }

  STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
        IsEqualIID(riid, kIid)) {
      *out = static_cast<Interface*>(this);
    } else if (IsEqualIID(riid, IID_ISupportErrorInfo)) {
      *out = static_cast<ISupportErrorInfo*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&references_); }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return left;
  }
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
    if (info == nullptr) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    type_info_->AddRef();
    *info = type_info_;
    return S_OK;
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    return DispGetIDsOfNames(type_info_, names, count, ids);
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* exception, UINT* bad_argument) override {
    return InvokeByReference(static_cast<Interface*>(this), type_info_, id, flags, params, result,
                             exception, bad_argument);
  }
  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override {
    return IsEqualIID(riid, kIid) ? S_OK : S_FALSE;
  }

 private:
  LONG references_ = 1;
  ITypeInfo* type_info_ = nullptr;
};

// A new object of a class, initialized and asked for `riid`.
template <typename Object>
HRESULT MakeObject(REFIID riid, void** out) {
  auto* object = new Object();
  HRESULT hr = object->Init();
  if (SUCCEEDED(hr)) hr = object->QueryInterface(riid, out);
  object->Release();
  return hr;
}

}  // namespace tovalix::com
