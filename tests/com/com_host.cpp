// A point-of-sale host in C++ that reaches Tovalix.ocx through IDispatch::Invoke only (late
// binding, as script and VB hosts do). It initializes the terminal and sells with a chip card
// while a timer the control's wait lets run tries a second sale and, on a Mostrador, a
// remittance query (the script host sells the rest); then it drives the iPP320 on COM5 itself
// through the IPP320 class, a whole card reading in the documented order. Every value read goes to
// the UTF-8 file named by its argument as "operation key=value"; card data only by length.
#include <windows.h>

#include <oleauto.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

FILE* out = nullptr;

std::string Utf8(const wchar_t* text, UINT length) {
  const int size =
      WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), utf8.data(), size, nullptr,
                      nullptr);
  return utf8;
}

std::string Text(const VARIANT& value) {
  VARIANT text;
  VariantInit(&text);
  if (FAILED(VariantChangeType(&text, const_cast<VARIANT*>(&value), 0, VT_BSTR))) {
    return "<" + std::to_string(value.vt) + ">";
  }
  std::string result = Utf8(text.bstrVal, SysStringLen(text.bstrVal));
  VariantClear(&text);
  return result;
}

VARIANT Str(const std::wstring& text) {
  VARIANT v;
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return v;
}
template <typename T>
VARIANT Num(T number) {
  VARIANT v;
  VariantInit(&v);
  if constexpr (sizeof(T) == 8) {
    v.vt = VT_R8;
    v.dblVal = number;
  } else if constexpr (sizeof(T) == 4) {
    v.vt = VT_I4;
    v.lVal = number;
  } else {
    v.vt = VT_I2;
    v.iVal = number;
  }
  return v;
}

// object.name(arguments...) through GetIDsOfNames and Invoke; a failure ends the host.
VARIANT Call(IDispatch* object, const wchar_t* name, std::vector<VARIANT> arguments = {},
             WORD kind = DISPATCH_METHOD) {
  DISPID id = 0;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  std::vector<VARIANT> reversed(arguments.rbegin(), arguments.rend());
  DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
  VARIANT result;
  VariantInit(&result);
  EXCEPINFO error{};
  if (SUCCEEDED(hr)) {
    hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &params, &result, &error, nullptr);
  }
  for (VARIANT& argument : arguments) {
    if ((argument.vt & VT_BYREF) == 0) VariantClear(&argument);
  }
  if (FAILED(hr)) {
    std::fprintf(stderr, "com_host: %ls failed (0x%08lx) %ls\n", name,
                 static_cast<unsigned long>(hr),
                 error.bstrDescription ? error.bstrDescription : L"");
    std::exit(1);
  }
  return result;
}

// Every key of a result dictionary with its value, in the dictionary's order.
void Show(const char* operation, VARIANT dictionary) {
  IDispatch* d = dictionary.pdispVal;
  std::fprintf(out, "%s keys=%s\n", operation,
               Text(Call(d, L"Count", {}, DISPATCH_PROPERTYGET)).c_str());
  VARIANT keys = Call(d, L"Keys");
  VARIANT* items = nullptr;
  SafeArrayAccessData(keys.parray, reinterpret_cast<void**>(&items));
  const LONG count = static_cast<LONG>(keys.parray->rgsabound[0].cElements);
  for (LONG i = 0; i < count; ++i) {
    VARIANT key;
    VariantInit(&key);
    VariantCopy(&key, &items[i]);
    const std::string name = Text(key);
    VARIANT item = Call(d, L"Item", {key}, DISPATCH_PROPERTYGET);
    std::string value = Text(item);
    VariantClear(&item);
    if (name.rfind("Track", 0) == 0 || name == "EMV_Tags") value = std::to_string(value.size());
    std::fprintf(out, "%s %s=%s\n", operation, name.c_str(), value.c_str());
  }
  SafeArrayUnaccessData(keys.parray);
  VariantClear(&keys);
  VariantClear(&dictionary);
}

IDispatch* Create(const wchar_t* progid) {
  CLSID clsid;
  IDispatch* object = nullptr;
  if (FAILED(CLSIDFromProgID(progid, &clsid)) ||
      FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                              reinterpret_cast<void**>(&object)))) {
    std::fprintf(stderr, "com_host: cannot create %ls\n", progid);
    std::exit(1);
  }
  return object;
}

IDispatch* cliente = nullptr;

// Runs from the control's wait for the PIN pad: a second sale, and a counter operation of
// another object, must come back at once.
void CALLBACK SecondSale(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  Show("nested", Call(cliente, L"PagoTarjeta",
                      {Num(5), Num(10.0), Num(0.0), Num(10.0), Num(44), Num(short{1}), Str(L""),
                       Num(0), Num(0), Str(L""), Str(L""), Str(L"")}));
  IDispatch* counter = Create(L"Tovalix.Mostrador");
  Show("nested counter", Call(counter, L"ConsultaRemesa", {Str(L"ORD-7")}));
  counter->Release();
}

// The iPP320 on COM5, driven by the host: frames from the IPP320 class as hex text.
class Port {
 public:
  Port() {
    handle_ = CreateFileW(L"\\\\.\\COM5", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                          0, nullptr);
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    COMMTIMEOUTS immediate{MAXDWORD, 0, 0, 0, 1000};
    if (handle_ == INVALID_HANDLE_VALUE || !GetCommState(handle_, &dcb) ||
        !BuildCommDCBW(L"baud=19200 parity=N data=8 stop=1", &dcb) ||
        !SetCommState(handle_, &dcb) || !SetCommTimeouts(handle_, &immediate)) {
      std::fprintf(stderr, "com_host: cannot open COM5\n");
      std::exit(1);
    }
  }
  ~Port() { CloseHandle(handle_); }

  // Writes a frame given as hex text (a single last digit is the LRC byte) and waits for ACK.
  bool Send(const std::string& frame) {
    std::string bytes;
    for (std::size_t i = 0; i < frame.size(); i += 2) {
      bytes += static_cast<char>(std::stoi(frame.substr(i, 2), nullptr, 16));
    }
    DWORD written = 0;
    WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    received_.clear();
    std::size_t ack = std::string::npos;
    if (!Wait([&] { return (ack = received_.find('\x06')) != std::string::npos; })) return false;
    received_.erase(0, ack + 1);  // what follows the ACK is the start of the answer
    return true;
  }
  // Waits for the answer with command `code` as the control checks it, then acknowledges it.
  bool Answer(IDispatch* ipp320, const wchar_t* code) {
    const bool complete =
        Check(ipp320, code) == 1 || Wait([&] { return Check(ipp320, code) == 1; });
    if (complete) WriteFile(handle_, "\x06", 1, nullptr, nullptr);
    return complete;
  }
  short Check(IDispatch* ipp320, const wchar_t* code) {
    std::wstring characters(received_.begin(), received_.end());
    for (wchar_t& c : characters) c = static_cast<unsigned char>(c);  // ChrW(byte), as VB
    return Call(ipp320, L"VerificaRespuesta", {Str(characters), Str(code)}).iVal;
  }
  // The received bytes as spaced hex ("02 49 ... ").
  std::wstring Spaced() const {
    std::wstring hex;
    for (const char c : received_) {
      wchar_t pair[4];
      swprintf(pair, 4, L"%02X ", static_cast<unsigned char>(c));
      hex += pair;
    }
    return hex;
  }

 private:
  template <typename Done>
  bool Wait(Done done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
      char chunk[512];
      DWORD read = 0;
      if (ReadFile(handle_, chunk, sizeof chunk, &read, nullptr) && read > 0) {
        received_.append(chunk, read);
        if (done()) return true;
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
    }
    return false;
  }
  HANDLE handle_;
  std::string received_;
};

std::wstring Frame(IDispatch* ipp320, const wchar_t* method, std::vector<VARIANT> arguments = {}) {
  VARIANT frame = Call(ipp320, method, std::move(arguments));
  std::wstring text(frame.bstrVal, SysStringLen(frame.bstrVal));
  VariantClear(&frame);
  return text;
}

void Reading(IDispatch* ipp320) {
  Port port;
  const auto send = [&](const char* step, const std::wstring& frame) {
    std::fprintf(out, "ipp320 %s ack=%d\n", step,
                 port.Send(std::string(frame.begin(), frame.end())));
  };
  const auto answer = [&](const char* step, const wchar_t* code) {
    std::fprintf(out, "ipp320 %s answer=%d\n", step, port.Answer(ipp320, code));
  };
  send("ArmaLogo", Frame(ipp320, L"ArmaLogo"));
  send("IC0", Frame(ipp320, L"IC0", {Num(150.5), Num(0.0), Str(L"INSERTE TARJETA")}));
  answer("IC0", L"494330");
  std::fprintf(out, "ipp320 IC0 checked as IC1=%d\n", port.Check(ipp320, L"494331"));
  Show("ipp320 ObtenTracks", Call(ipp320, L"ObtenTracks", {Str(port.Spaced()), Num(short{0})}));
  send("IC1", Frame(ipp320, L"IC1", {Str(L"00"), Str(L"00"), Str(L"123456")}));
  answer("IC1", L"494331");
  send("LimpiaPantalla", Frame(ipp320, L"LimpiaPantalla"));
  send("RetireTarjeta", Frame(ipp320, L"RetireTarjeta", {Str(L" RETIRE TARJETA")}));
  answer("RetireTarjeta", L"524D56");
  send("ArmaLogo", Frame(ipp320, L"ArmaLogo"));
  // A message longer than the display comes back as the 32 characters shown.
  VARIANT message = Str(L"Gracias por su compra, vuelva pronto señor");
  VARIANT reference;
  reference.vt = VT_BYREF | VT_VARIANT;
  reference.pvarVal = &message;
  Frame(ipp320, L"ArmaMensaje", {reference});
  std::fprintf(out, "ipp320 ArmaMensaje vpMensaje=%s\n", Text(message).c_str());
  VariantClear(&message);
  Show("ipp320 no IC0", Call(ipp320, L"ObtenTracks", {Str(L"06 "), Num(short{0})}));
}

}  // namespace

// com_host [manifest] results: with a manifest, the control is used without registration, from
// an activation context made of Tovalix.manifest.
int wmain(int argc, wchar_t** argv) {
  if (argc < 2 || argc > 3 || (out = _wfopen(argv[argc - 1], L"wb")) == nullptr) return 2;
  if (argc == 3) {
    ACTCTXW context{};
    context.cbSize = sizeof context;
    context.lpSource = argv[1];
    ULONG_PTR cookie = 0;
    const HANDLE handle = CreateActCtxW(&context);
    if (handle == INVALID_HANDLE_VALUE || !ActivateActCtx(handle, &cookie)) {
      std::fprintf(stderr, "com_host: no activation context from %ls\n", argv[1]);
      return 1;
    }
  }
  CoInitialize(nullptr);
  cliente = Create(L"Tovalix.Cliente");
  std::fprintf(
      out, "InicializaPinPad=%s\n",
      Text(Call(cliente, L"InicializaPinPad",
                {Str(L"5"), Num(1001), Str(L"IPP320"), Str(L""), Str(L"cajero7"), Str(L"clave7")}))
          .c_str());
  SetTimer(nullptr, 0, USER_TIMER_MINIMUM, SecondSale);
  Show("sale", Call(cliente, L"PagoTarjeta",
                    {Num(5), Num(150.5), Num(0.0), Num(150.5), Num(42), Num(short{1}), Str(L""),
                     Num(0), Num(0), Str(L""), Str(L""), Str(L"")}));
  cliente->Release();
  IDispatch* ipp320 = Create(L"Tovalix.IPP320");
  Reading(ipp320);
  ipp320->Release();
  CoUninitialize();
  std::fclose(out);
  return 0;
}
