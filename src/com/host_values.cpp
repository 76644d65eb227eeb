#include "host_values.hpp"

#include <string>
#include <utility>

#include "com_support.hpp"

namespace tovalix::com {
namespace {

constexpr const char* kNoDictionary =
    "TOVALIX: Se esperaba un diccionario (Scripting.Dictionary) con sus claves y valores.";
constexpr const char* kNoList = "TOVALIX: Se esperaba un arreglo de una dimensión.";
constexpr const char* kNoText =
    "TOVALIX: Un valor del arreglo o del diccionario no se puede leer como texto.";
constexpr const char* kRepeatedKey = "TOVALIX: El diccionario repite la clave ";

// A Variant that clears itself.
struct OwnedVariant {
  VARIANT value;
  OwnedVariant() { VariantInit(&value); }
  ~OwnedVariant() { VariantClear(&value); }
  OwnedVariant(const OwnedVariant&) = delete;
  OwnedVariant& operator=(const OwnedVariant&) = delete;
};

// `value` with every reference followed, as a copy of its own.
HRESULT Dereferenced(const VARIANT& value, OwnedVariant& plain) {
  const VARIANT* inner = &value;
  while (inner->vt == (VT_BYREF | VT_VARIANT)) {
    if (inner->pvarVal == nullptr) return DISP_E_TYPEMISMATCH;
    inner = inner->pvarVal;
  }
  return VariantCopyInd(&plain.value, const_cast<VARIANT*>(inner));  // only read
}

// Numbers are written with a point whatever the host's regional settings, as the library reads
// them; truth values as "True" and "False".
HRESULT Text(const VARIANT& value, std::string& text) {
  OwnedVariant plain;
  HRESULT hr = Dereferenced(value, plain);
  if (FAILED(hr)) return hr;
  if (plain.value.vt == VT_EMPTY || plain.value.vt == VT_NULL) {
    text.clear();
    return S_OK;
  }
  OwnedVariant converted;
  hr = VariantChangeTypeEx(&converted.value, &plain.value, LOCALE_INVARIANT, VARIANT_ALPHABOOL,
                           VT_BSTR);
  if (FAILED(hr)) return hr;
  text = Utf8(converted.value.bstrVal);
  return S_OK;
}

// Calls the method or property `name` of `object` without arguments.
HRESULT Call(IDispatch* object, const wchar_t* name, VARIANT* result) {
  std::wstring text(name);
  LPOLESTR names[] = {text.data()};
  DISPID id = DISPID_UNKNOWN;
  HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) return hr;
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                        &none, result, nullptr, nullptr);
}

// The types an array element may have: whatever converts to a text and fits in a Variant's
// value.
bool Scalar(VARTYPE type) {
  switch (type) {
    case VT_VARIANT:
    case VT_BSTR:
    case VT_BOOL:
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_DISPATCH:
      return true;
    default:
      return false;
  }
}

// The texts of the one-dimensional array in `value`; on a failure, `problem` says what to
// report.
HRESULT Elements(const VARIANT& value, std::vector<std::string>& elements, const char*& problem) {
  elements.clear();
  problem = kNoList;
  OwnedVariant plain;
  HRESULT hr = Dereferenced(value, plain);
  if (FAILED(hr) || (plain.value.vt & VT_ARRAY) == 0) return DISP_E_TYPEMISMATCH;
  SAFEARRAY* array = plain.value.parray;
  if (array == nullptr) return S_OK;  // Dim a() As String, never ReDim'ed
  VARTYPE type = VT_EMPTY;
  if (SafeArrayGetDim(array) != 1 || FAILED(SafeArrayGetVartype(array, &type)) || !Scalar(type)) {
    return DISP_E_TYPEMISMATCH;
  }
  problem = kNoText;
  LONG lower = 0;
  LONG upper = -1;
  SafeArrayGetLBound(array, 1, &lower);
  SafeArrayGetUBound(array, 1, &upper);
  for (LONG index = lower; index <= upper; ++index) {
    OwnedVariant element;
    void* slot = &element.value;
    if (type != VT_VARIANT) {
      element.value.vt = type;
      slot = &element.value.llVal;  // every member of the union starts here
    }
    hr = SafeArrayGetElement(array, &index, slot);
    if (FAILED(hr)) {
      if (type != VT_VARIANT) element.value.vt = VT_EMPTY;  // nothing was copied
      return hr;
    }
    std::string text;
    hr = Text(element.value, text);
    if (FAILED(hr)) return hr;
    elements.push_back(std::move(text));
  }
  return S_OK;
}

}  // namespace

HRESULT ReadList(const VARIANT& value, std::vector<std::string>& elements, REFIID iid) {
  const char* problem = nullptr;
  const HRESULT hr = Elements(value, elements, problem);
  return FAILED(hr) ? Fail(hr, problem, iid) : hr;
}

HRESULT ReadDictionary(const VARIANT& value, Dictionary& entries, REFIID iid) {
  entries.RemoveAll();
  OwnedVariant plain;
  HRESULT hr = Dereferenced(value, plain);
  if (FAILED(hr) || plain.value.vt != VT_DISPATCH || plain.value.pdispVal == nullptr) {
    return Fail(DISP_E_TYPEMISMATCH, kNoDictionary, iid);
  }
  OwnedVariant keys;
  OwnedVariant items;
  hr = Call(plain.value.pdispVal, L"Keys", &keys.value);
  if (SUCCEEDED(hr)) hr = Call(plain.value.pdispVal, L"Items", &items.value);
  if (FAILED(hr)) return Fail(DISP_E_TYPEMISMATCH, kNoDictionary, iid);
  std::vector<std::string> key_texts;
  std::vector<std::string> item_texts;
  const char* problem = nullptr;
  hr = Elements(keys.value, key_texts, problem);
  if (SUCCEEDED(hr)) hr = Elements(items.value, item_texts, problem);
  if (FAILED(hr)) return Fail(hr, problem == kNoText ? kNoText : kNoDictionary, iid);
  if (key_texts.size() != item_texts.size()) return Fail(DISP_E_TYPEMISMATCH, kNoDictionary, iid);
  for (std::size_t i = 0; i < key_texts.size(); ++i) {
    // Keys 1 and "1" are two keys to a Scripting.Dictionary but one text here.
    if (!entries.Add(key_texts[i], item_texts[i])) {
      return Fail(E_INVALIDARG, kRepeatedKey + key_texts[i] + ".", iid);
    }
  }
  return S_OK;
}

}  // namespace tovalix::com
