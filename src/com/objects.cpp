// The classes Cliente and IPP320 of Tovalix.ocx: each method turns its COM arguments into the
// library's types, calls tovalix::Cliente or tovalix::IPP320 and hands the result back.
#include "objects.hpp"

#include <optional>
#include <string>

#include <tovalix/cliente.hpp>
#include <tovalix/ipp320.hpp>

namespace tovalix::com {
namespace {

HRESULT Busy(bool sale, IDispatch** result) {
  Dictionary busy;
  if (sale) {
    busy.Add("ID_Tx", "-3");
    busy.Add("Authorization_Number", "000000");
    busy.Add("Response_Message", kOcupado);
  } else {
    busy.Add("Accepted", "False");
    busy.Add("responseCode", "102");
    busy.Add("responseText", kOcupado);
  }
  return ResultObject(busy, result);
}

class ClienteObject final : public DispatchObject<_Cliente, IID__Cliente> {
 public:
  ClienteObject() : cliente_(op_) {}

  STDMETHODIMP PagoTarjeta(LONG* vpID_Store, DOUBLE* vpAmount, DOUBLE* vpTip, DOUBLE* vpTotal,
                           LONG* vpID_Transaction, SHORT* vpOperation_Type,
                           BSTR* vpAuthorization_Number, LONG* vpID_Client_Tx, LONG* vpID_Server_Tx,
                           BSTR* vpInitialDeferment, BSTR* vpNumberOfPayments, BSTR* vpPlanType,
                           IDispatch** result) override {
    return Guarded(IID__Cliente, [&]() -> HRESULT {
      if (AnyNull(vpID_Store, vpAmount, vpTip, vpTotal, vpID_Transaction, vpOperation_Type,
                  vpAuthorization_Number, vpID_Client_Tx, vpID_Server_Tx, vpInitialDeferment,
                  vpNumberOfPayments, vpPlanType, result)) {
        return E_POINTER;
      }
      *result = nullptr;
      const OperationGuard guard;
      if (!guard.Entered()) return Busy(true, result);
      return ResultObject(
          cliente_.PagoTarjeta(*vpID_Store, *vpAmount, *vpTip, *vpTotal, *vpID_Transaction,
                               *vpOperation_Type, Utf8(*vpAuthorization_Number), *vpID_Client_Tx,
                               *vpID_Server_Tx, Utf8(*vpInitialDeferment),
                               Utf8(*vpNumberOfPayments), Utf8(*vpPlanType)),
          result);
    });
  }

  STDMETHODIMP TiempoAireStatusVenta(BSTR* vpProvider, BSTR* vpposTimeStamp,
                                     IDispatch** result) override {
    return Airtime(
        result,
        [&] { return cliente_.TiempoAireStatusVenta(Utf8(*vpProvider), Utf8(*vpposTimeStamp)); },
        vpProvider, vpposTimeStamp);
  }

  STDMETHODIMP TiempoAire(BSTR* vptellerLogin, BSTR* vpProvider, BSTR* vptopUpTelephone,
                          DOUBLE* vpAmount, BSTR* vpposTimeStamp, IDispatch** result) override {
    return Airtime(
        result,
        [&] {
          return cliente_.TiempoAire(Utf8(*vptellerLogin), Utf8(*vpProvider),
                                     Utf8(*vptopUpTelephone), *vpAmount, Utf8(*vpposTimeStamp));
        },
        vptellerLogin, vpProvider, vptopUpTelephone, vpAmount, vpposTimeStamp);
  }

  STDMETHODIMP TiempoAireConsultaSaldo(BSTR* vptellerLogin, IDispatch** result) override {
    return Airtime(
        result, [&] { return cliente_.TiempoAireConsultaSaldo(Utf8(*vptellerLogin)); },
        vptellerLogin);
  }

  STDMETHODIMP TiempoAireCantidades(BSTR* vpProvider, IDispatch** result) override {
    return Airtime(
        result, [&] { return cliente_.TiempoAireCantidades(Utf8(*vpProvider)); }, vpProvider);
  }

  STDMETHODIMP InicializaPinPad(BSTR* vpID_Store, LONG* vpPTid, BSTR* vpTipo, BSTR* vpSerie,
                                BSTR* vpUserTA, BSTR* vpPwdTA, SHORT* result) override {
    return Guarded(IID__Cliente, [&]() -> HRESULT {
      if (AnyNull(vpID_Store, vpPTid, vpTipo, vpSerie, vpUserTA, vpPwdTA, result)) {
        return E_POINTER;
      }
      *result = 0;
      const OperationGuard guard;
      if (!guard.Entered()) return S_OK;
      *result = cliente_.InicializaPinPad(Utf8(*vpID_Store), *vpPTid, Utf8(*vpTipo), Utf8(*vpSerie),
                                          Utf8(*vpUserTA), Utf8(*vpPwdTA));
      return S_OK;
    });
  }

 private:
  template <typename Call, typename... Arguments>
  HRESULT Airtime(IDispatch** result, Call&& call, Arguments*... arguments) {
    return Guarded(IID__Cliente, [&]() -> HRESULT {
      if (AnyNull(result, arguments...)) return E_POINTER;
      *result = nullptr;
      const OperationGuard guard;
      if (!guard.Entered()) return Busy(false, result);
      return ResultObject(call(), result);
    });
  }

  WindowsOperator op_;
  Cliente cliente_;
};

class IPP320Object final : public DispatchObject<_IPP320, IID__IPP320> {
 public:
  IPP320Object() : ipp_(op_) {}

  STDMETHODIMP RefreshLogo(BSTR* frame) override {
    return Text(frame, [&] { return ipp_.RefreshLogo(); });
  }
  STDMETHODIMP ObtenSerial(BSTR* frame) override {
    return Text(frame, [&] { return ipp_.ObtenSerial(); });
  }
  STDMETHODIMP RetireTarjeta(BSTR* vpMensaje, BSTR* frame) override {
    return Text(
        frame, [&] { return ipp_.RetireTarjeta(Utf8(*vpMensaje)); }, vpMensaje);
  }
  STDMETHODIMP CapturaEnPinPad(SHORT* vpLon_Max, SHORT* vpLon_Min, BSTR* frame) override {
    return Text(
        frame, [&] { return ipp_.CapturaEnPinPad(*vpLon_Max, *vpLon_Min); }, vpLon_Max, vpLon_Min);
  }
  STDMETHODIMP ObtenCVV2(VARIANT* vpMensaje, BSTR* typed) override {
    return Text(
        typed,
        [&] {
          VARIANT text;
          VariantInit(&text);
          std::string answer;
          if (SUCCEEDED(VariantChangeType(&text, vpMensaje, VARIANT_ALPHABOOL, VT_BSTR))) {
            answer = Utf8(text.bstrVal);
          }
          VariantClear(&text);
          return ipp_.ObtenCVV2(answer);
        },
        vpMensaje);
  }
  STDMETHODIMP ArmaMensaje(BSTR* vpMensaje, BSTR* frame) override {
    return Text(
        frame,
        [&] {
          std::string shown = Utf8(*vpMensaje);
          std::string built = ipp_.ArmaMensaje(shown);
          Replace(vpMensaje, shown);
          return built;
        },
        vpMensaje);
  }
  STDMETHODIMP LimpiaPantalla(BSTR* frame) override {
    return Text(frame, [&] { return ipp_.LimpiaPantalla(); });
  }
  STDMETHODIMP ArmaLogo(BSTR* frame) override {
    return Text(frame, [&] { return ipp_.ArmaLogo(); });
  }
  STDMETHODIMP VerificaRespuesta(BSTR vpTrama, BSTR* vpIns, SHORT* correct) override {
    return Guarded(IID__IPP320, [&]() -> HRESULT {
      if (AnyNull(vpIns, correct)) return E_POINTER;
      *correct = ipp_.VerificaRespuesta(Bytes(vpTrama), Utf8(*vpIns));
      return S_OK;
    });
  }
  STDMETHODIMP IC0(DOUBLE* vpMonto, DOUBLE* vpPropina, BSTR* vpMensaje, BSTR* frame) override {
    return Text(
        frame, [&] { return ipp_.IC0(*vpMonto, *vpPropina, Utf8(*vpMensaje)); }, vpMonto, vpPropina,
        vpMensaje);
  }
  STDMETHODIMP IC1(BSTR vpStatus, BSTR vpCod, BSTR vpAut, BSTR* frame) override {
    return Text(frame, [&] { return ipp_.IC1(Utf8(vpStatus), Utf8(vpCod), Utf8(vpAut)); });
  }
  STDMETHODIMP Libera(BSTR* frame) override {
    return Text(frame, [&] { return ipp_.Libera(); });
  }
  STDMETHODIMP ConfigPinPad(BSTR* frame) override {
    return Text(frame, [&] { return ipp_.ConfigPinPad(); });
  }
  STDMETHODIMP ObtenTracks(BSTR* vpInString, SHORT* vpModo, IDispatch** tracks) override {
    return Guarded(IID__IPP320, [&]() -> HRESULT {
      if (AnyNull(vpInString, vpModo, tracks)) return E_POINTER;
      *tracks = nullptr;
      const std::optional<Dictionary> read = ipp_.ObtenTracks(Utf8(*vpInString), *vpModo);
      return read ? ResultObject(*read, tracks) : S_OK;  // Nothing after a failure
    });
  }
  STDMETHODIMP TagsValidos(BSTR vpCadena, IDispatch** tags) override {
    return Guarded(IID__IPP320, [&]() -> HRESULT {
      if (tags == nullptr) return E_POINTER;
      *tags = nullptr;
      return ResultObject(ipp_.TagsValidos(Utf8(vpCadena)), tags);
    });
  }

 private:
  template <typename Build, typename... Arguments>
  HRESULT Text(BSTR* out, Build&& build, Arguments*... arguments) {
    return Guarded(IID__IPP320, [&]() -> HRESULT {
      if (AnyNull(out, arguments...)) return E_POINTER;
      *out = nullptr;
      *out = Bstr(build());
      return *out != nullptr ? S_OK : E_OUTOFMEMORY;
    });
  }

  WindowsOperator op_;
  IPP320 ipp_;
};

}  // namespace

HRESULT CreateCliente(REFIID riid, void** out) {
  return Guarded(IID__Cliente, [&] { return MakeObject<ClienteObject>(riid, out); });
}

HRESULT CreateIPP320(REFIID riid, void** out) {
  return Guarded(IID__IPP320, [&] { return MakeObject<IPP320Object>(riid, out); });
}

}  // namespace tovalix::com
