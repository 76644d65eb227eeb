// The exports of Tovalix.ocx: the class factories, unloading, and registration for the machine
// (DllRegisterServer, HKLM\Software\Classes) or for the current user (DllInstall with "user",
// HKCU\Software\Classes, as `regsvr32 /n /i:user Tovalix.ocx` calls it).
#include <initguid.h>  // the type library's GUIDs are defined here

#include <cwchar>
#include <string>
#include <vector>

#include "objects.hpp"

using namespace tovalix::com;

namespace {

std::atomic<long> g_locks{0};

class ClassFactory final : public IClassFactory {
 public:
  using Create = HRESULT (*)(REFIID, void**);
  explicit ClassFactory(Create create) : create_(create) {}

  STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
      *out = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // The factories are static: they live as long as the module.
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    return create_(riid, out);
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    g_locks += lock ? 1 : -1;
    return S_OK;
  }

 private:
  Create create_;
};

ClassFactory g_cliente_factory(CreateCliente);
ClassFactory g_ipp320_factory(CreateIPP320);
ClassFactory g_mostrador_factory(CreateMostrador);

std::wstring Text(REFGUID guid) {
  wchar_t text[40];
  StringFromGUID2(guid, text, 40);
  return text;
}

struct Class {
  const CLSID& clsid;
  const IID& iid;
  const wchar_t* name;
  const wchar_t* interface_name;
  const wchar_t* progid;
};
const Class kClasses[] = {
    {CLSID_Cliente, IID__Cliente, L"Cliente", L"_Cliente", L"Tovalix.Cliente"},
    {CLSID_IPP320, IID__IPP320, L"IPP320", L"_IPP320", L"Tovalix.IPP320"},
    {CLSID_Mostrador, IID__Mostrador, L"Mostrador", L"_Mostrador", L"Tovalix.Mostrador"},
};
// The type library marshals the dual interfaces between apartments.
constexpr const wchar_t* kTypeLibraryMarshaler = L"{00020424-0000-0000-C000-000000000046}";
constexpr const wchar_t* kPlatform = sizeof(void*) == 8 ? L"win64" : L"win32";

struct Value {
  std::wstring key;
  const wchar_t* name;  // nullptr: the key's default value
  std::wstring data;
};

std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(g_module, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) return path.substr(0, length);
    path.resize(path.size() * 2);
  }
}

std::wstring TypeLibKey() {
  return L"TypeLib\\" + Text(LIBID_TOVALIX);
}

std::vector<Value> Values(const std::wstring& path) {
  const std::wstring libid = Text(LIBID_TOVALIX);
  const std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
  std::vector<Value> values;
  for (const Class& c : kClasses) {
    const std::wstring clsid = L"CLSID\\" + Text(c.clsid);
    values.push_back({clsid, nullptr, c.name});
    values.push_back({clsid + L"\\InprocServer32", nullptr, path});
    values.push_back({clsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment"});
    values.push_back({clsid + L"\\ProgID", nullptr, c.progid});
    values.push_back({clsid + L"\\TypeLib", nullptr, libid});
    values.push_back({clsid + L"\\Version", nullptr, L"1.0"});
    values.push_back({c.progid, nullptr, c.name});
    values.push_back({std::wstring(c.progid) + L"\\CLSID", nullptr, Text(c.clsid)});
    const std::wstring itf = L"Interface\\" + Text(c.iid);
    values.push_back({itf, nullptr, c.interface_name});
    values.push_back({itf + L"\\ProxyStubClsid", nullptr, kTypeLibraryMarshaler});
    values.push_back({itf + L"\\ProxyStubClsid32", nullptr, kTypeLibraryMarshaler});
    values.push_back({itf + L"\\TypeLib", nullptr, libid});
    values.push_back({itf + L"\\TypeLib", L"Version", L"1.0"});
  }
  values.push_back({TypeLibKey() + L"\\1.0", nullptr, L"TOVALIX"});
  values.push_back({TypeLibKey() + L"\\1.0\\0\\" + kPlatform, nullptr, path});
  values.push_back({TypeLibKey() + L"\\1.0\\FLAGS", nullptr, L"0"});
  values.push_back({TypeLibKey() + L"\\1.0\\HELPDIR", nullptr, folder});
  return values;
}

HKEY Root(LPCWSTR command_line) {
  if (command_line == nullptr || *command_line == L'\0' ||
      _wcsicmp(command_line, L"machine") == 0) {
    return HKEY_LOCAL_MACHINE;
  }
  return _wcsicmp(command_line, L"user") == 0 ? HKEY_CURRENT_USER : nullptr;
}

HRESULT Unregister(HKEY root) {
  HKEY classes = nullptr;
  LONG status = RegOpenKeyExW(root, L"Software\\Classes", 0, KEY_ALL_ACCESS, &classes);
  if (status == ERROR_FILE_NOT_FOUND) return S_OK;
  if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
  for (const Class& c : kClasses) {
    RegDeleteTreeW(classes, (L"CLSID\\" + Text(c.clsid)).c_str());
    RegDeleteTreeW(classes, c.progid);
  }
  // The type library and its interfaces may still be registered for the other platform's
  // build: remove ours, then each parent only once it is empty.
  const std::wstring lib = TypeLibKey();
  RegDeleteTreeW(classes, (lib + L"\\1.0\\0\\" + kPlatform).c_str());
  RegDeleteKeyW(classes, (lib + L"\\1.0\\0").c_str());  // fails while not empty
  HKEY left = nullptr;
  const bool other_platform =
      RegOpenKeyExW(classes, (lib + L"\\1.0\\0").c_str(), 0, KEY_READ, &left) == ERROR_SUCCESS;
  if (left != nullptr) RegCloseKey(left);
  if (!other_platform) {
    RegDeleteTreeW(classes, lib.c_str());
    for (const Class& c : kClasses) RegDeleteTreeW(classes, (L"Interface\\" + Text(c.iid)).c_str());
  }
  RegCloseKey(classes);
  return S_OK;
}

HRESULT Register(HKEY root) {
  ITypeLib* library = nullptr;
  HRESULT hr = TypeLibrary(&library);  // refuse to register a module without its type library
  if (FAILED(hr)) return hr;
  library->Release();
  const std::wstring path = ModulePath();
  if (path.empty()) return E_FAIL;
  for (const Value& v : Values(path)) {
    HKEY key = nullptr;
    LONG status = RegCreateKeyExW(root, (L"Software\\Classes\\" + v.key).c_str(), 0, nullptr, 0,
                                  KEY_SET_VALUE, nullptr, &key, nullptr);
    if (status == ERROR_SUCCESS) {
      status = RegSetValueExW(key, v.name, 0, REG_SZ, reinterpret_cast<const BYTE*>(v.data.c_str()),
                              static_cast<DWORD>((v.data.size() + 1) * sizeof(wchar_t)));
      RegCloseKey(key);
    }
    if (status != ERROR_SUCCESS) {
      Unregister(root);
      return HRESULT_FROM_WIN32(status);
    }
  }
  return S_OK;
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (IsEqualCLSID(clsid, CLSID_Cliente)) return g_cliente_factory.QueryInterface(riid, out);
  if (IsEqualCLSID(clsid, CLSID_IPP320)) return g_ipp320_factory.QueryInterface(riid, out);
  if (IsEqualCLSID(clsid, CLSID_Mostrador)) return g_mostrador_factory.QueryInterface(riid, out);
  return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() {
  return g_objects == 0 && g_locks == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() {
  return Register(HKEY_LOCAL_MACHINE);
}

STDAPI DllUnregisterServer() {
  return Unregister(HKEY_LOCAL_MACHINE);
}

// regsvr32 /n /i:user registers for the current user only; /i:machine (or no text) for all.
STDAPI DllInstall(BOOL install, LPCWSTR command_line) {
  const HKEY root = Root(command_line);
  if (root == nullptr) return E_INVALIDARG;
  return install ? Register(root) : Unregister(root);
}

}  // extern "C"
