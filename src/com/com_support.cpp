#include "com_support.hpp"

#include <cstdio>
#include <mutex>
#include <string_view>
#include <vector>

#include "common/text_encoding.hpp"
#include "platform/windows/wide_text.hpp"

namespace tovalix::com {

std::atomic<long> g_objects{0};
HMODULE g_module = nullptr;
thread_local bool OperationGuard::busy_ = false;

namespace {

constexpr const wchar_t* kDefaultTitle = L"Tovalix";

std::wstring Wide(const std::string& utf8) {
  return platform::WideText(ToUtf8Lenient(utf8));
}

// A BSTR that frees itself.
struct OwnedBstr {
  BSTR text;
  explicit OwnedBstr(const std::string& utf8) : text(Bstr(utf8)) {
    if (text == nullptr && !utf8.empty()) throw std::bad_alloc();
  }
  ~OwnedBstr() { SysFreeString(text); }
  OwnedBstr(const OwnedBstr&) = delete;
  OwnedBstr& operator=(const OwnedBstr&) = delete;
};

}  // namespace

HRESULT TypeLibrary(ITypeLib** library) {
  wchar_t path[MAX_PATH + 1];
  const DWORD length = GetModuleFileNameW(g_module, path, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) return E_FAIL;
  return LoadTypeLibEx(path, REGKIND_NONE, library);
}

std::string Utf8(BSTR text) {
  return platform::NarrowText({text, SysStringLen(text)});
}

BSTR Bstr(const std::string& utf8) {
  const std::wstring wide = Wide(utf8);
  return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

void Replace(BSTR* slot, const std::string& utf8) {
  BSTR fresh = Bstr(utf8);
  if (fresh == nullptr) throw std::bad_alloc();
  SysFreeString(*slot);
  *slot = fresh;
}

std::string Bytes(BSTR text) {
  std::string bytes;
  const UINT length = SysStringLen(text);
  for (UINT i = 0; i < length; ++i) {
    char code = '?';
    if (text[i] < 0x100) {
      code = static_cast<char>(text[i]);
    } else {
      WideCharToMultiByte(1252, 0, &text[i], 1, &code, 1, "?", nullptr);
    }
    bytes += code;
  }
  return bytes;
}

HRESULT ResultObject(const Dictionary& entries, IDispatch** result) {
  *result = nullptr;
  CLSID clsid;
  HRESULT hr = CLSIDFromProgID(L"Scripting.Dictionary", &clsid);
  IDispatch* dictionary = nullptr;
  if (SUCCEEDED(hr)) {
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                          reinterpret_cast<void**>(&dictionary));
  }
  if (FAILED(hr)) {
    return Fail(hr, "TOVALIX: No se pudo crear el objeto Scripting.Dictionary del resultado.",
                IID_IDispatch);
  }
  wchar_t add_name[] = L"Add";
  LPOLESTR names[] = {add_name};
  DISPID add = DISPID_UNKNOWN;
  hr = dictionary->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &add);
  for (const auto& [key, value] : entries.Entries()) {
    if (FAILED(hr)) break;
    const OwnedBstr key_text(key);
    const OwnedBstr value_text(value);
    VARIANT arguments[2];  // in reverse order: item, then key
    arguments[0].vt = VT_BSTR;
    arguments[0].bstrVal = value_text.text;
    arguments[1].vt = VT_BSTR;
    arguments[1].bstrVal = key_text.text;
    DISPPARAMS params{arguments, nullptr, 2, 0};
    hr = dictionary->Invoke(add, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                            nullptr, nullptr);
  }
  if (FAILED(hr)) {
    dictionary->Release();
    return Fail(hr, "TOVALIX: No se pudo llenar el diccionario del resultado.", IID_IDispatch);
  }
  *result = dictionary;
  return S_OK;
}

HRESULT Fail(HRESULT hr, const std::string& description, REFIID iid) {
  ICreateErrorInfo* create = nullptr;
  if (SUCCEEDED(CreateErrorInfo(&create))) {
    const std::wstring text = Wide(description);
    create->SetGUID(iid);
    create->SetSource(const_cast<wchar_t*>(L"Tovalix"));
    create->SetDescription(const_cast<wchar_t*>(text.c_str()));
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
      SetErrorInfo(0, info);
      info->Release();
    }
    create->Release();
  }
  return hr;
}

HRESULT InvokeByReference(void* object, ITypeInfo* type_info, DISPID id, WORD flags,
                          DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                          UINT* bad_argument) {
  FUNCDESC* function = nullptr;
  TYPEATTR* attributes = nullptr;
  if (params == nullptr || params->cArgs == 0 || params->cNamedArgs != 0 ||
      FAILED(type_info->GetTypeAttr(&attributes))) {
    return DispInvoke(object, type_info, id, flags, params, result, exception, bad_argument);
  }
  for (UINT i = 0; i < attributes->cFuncs && function == nullptr; ++i) {
    if (FAILED(type_info->GetFuncDesc(i, &function))) break;
    if (function->memid != id || function->invkind != INVOKE_FUNC) {
      type_info->ReleaseFuncDesc(function);
      function = nullptr;
    }
  }
  type_info->ReleaseTypeAttr(attributes);
  if (function == nullptr) {
    return DispInvoke(object, type_info, id, flags, params, result, exception, bad_argument);
  }
  const UINT count = params->cArgs;
  std::vector<VARIANT> arguments(params->rgvarg, params->rgvarg + count);
  std::vector<VARIANT> values(count);
  std::vector<bool> converted(count, false);
  HRESULT hr = S_OK;
  for (UINT i = 0; i < count && SUCCEEDED(hr); ++i) {
    VariantInit(&values[i]);
    const UINT position = count - 1 - i;  // arguments come last to first
    VARIANT& argument = arguments[i];
    if (argument.vt != (VT_BYREF | VT_VARIANT) || argument.pvarVal == nullptr ||
        position >= static_cast<UINT>(function->cParams)) {
      continue;
    }
    const TYPEDESC& type = function->lprgelemdescParam[position].tdesc;
    if (type.vt != VT_PTR) {
      argument = *argument.pvarVal;  // by value: the variable's own value, not written back
      continue;
    }
    const VARTYPE wanted = type.lptdesc->vt;
    if (wanted == VT_VARIANT) continue;
    hr = VariantChangeType(&values[i], argument.pvarVal, 0, wanted);
    if (FAILED(hr)) {
      if (bad_argument != nullptr) *bad_argument = i;
      hr = DISP_E_TYPEMISMATCH;
      break;
    }
    converted[i] = true;
    argument.vt = static_cast<VARTYPE>(VT_BYREF | wanted);
    argument.byref = &values[i].lVal;  // every member of the union starts here
  }
  type_info->ReleaseFuncDesc(function);
  if (SUCCEEDED(hr)) {
    DISPPARAMS patched{arguments.data(), nullptr, count, 0};
    hr = DispInvoke(object, type_info, id, flags, &patched, result, exception, bad_argument);
  }
  for (UINT i = 0; i < count; ++i) {
    if (converted[i] && SUCCEEDED(hr)) VariantCopy(params->rgvarg[i].pvarVal, &values[i]);
    VariantClear(&values[i]);
  }
  return hr;
}

WindowsOperator::WindowsOperator() {
  const DWORD size = GetEnvironmentVariableW(L"TOVALIX_COM_MESSAGES", nullptr, 0);
  if (size > 1) {
    record_.resize(size);
    record_.resize(GetEnvironmentVariableW(L"TOVALIX_COM_MESSAGES", record_.data(), size));
  }
}

void WindowsOperator::MessageBox(const std::string& text, int style, const std::string& title) {
  if (!record_.empty()) {
    if (FILE* file = _wfopen(record_.c_str(), L"ab")) {
      std::fprintf(file, "%d/%s/%s\n", style, ToUtf8Lenient(title).c_str(),
                   ToUtf8Lenient(text).c_str());
      std::fclose(file);
    }
    return;
  }
  const std::wstring wide_title = title.empty() ? std::wstring(kDefaultTitle) : Wide(title);
  // Modal to the host's active window, or to all of the thread's windows when none is active.
  const HWND owner = GetActiveWindow();
  ::MessageBoxW(
      owner, Wide(text).c_str(), wide_title.c_str(),
      static_cast<UINT>(style) | MB_OK | MB_SETFOREGROUND | (owner == nullptr ? MB_TASKMODAL : 0u));
}

void WindowsOperator::Pump() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {  // leave it for the host's own loop
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace tovalix::com
