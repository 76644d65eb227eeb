// The class Mostrador of Tovalix.ocx: the banking agent's counter and the Optimum's printing.
// Each method turns its COM arguments into the library's types, calls tovalix::Mostrador and
// hands the result back.
#include <string>
#include <vector>

#include <tovalix/mostrador.hpp>

#include "host_values.hpp"
#include "objects.hpp"

namespace tovalix::com {
namespace {

// For the methods that take nothing but texts.
HRESULT NothingToRead() {
  return S_OK;
}

class MostradorObject final : public DispatchObject<_Mostrador, IID__Mostrador> {
 public:
  MostradorObject() : mostrador_(op_) {}

  STDMETHODIMP SesionCajero(BSTR* vpUsuario, BSTR* vpNip, BSTR* vpTrack2, BSTR* vpTipoOperacion,
                            IDispatch** result) override {
    return Answer(result, "status", AnyNull(vpUsuario, vpNip, vpTrack2, vpTipoOperacion),
                  NothingToRead, [&] {
                    return mostrador_.SesionCajero(Utf8(*vpUsuario), Utf8(*vpNip), Utf8(*vpTrack2),
                                                   Utf8(*vpTipoOperacion));
                  });
  }

  STDMETHODIMP RegistraBitacora(VARIANT* vpBitacora, IDispatch** result) override {
    Dictionary bitacora;
    return Answer(
        result, "status", AnyNull(vpBitacora),
        [&] { return ReadDictionary(*vpBitacora, bitacora, IID__Mostrador); },
        [&] { return mostrador_.RegistraBitacora(bitacora); });
  }

  STDMETHODIMP ConsultaRemesa(BSTR* vpOrden, IDispatch** result) override {
    return Answer(result, "status", AnyNull(vpOrden), NothingToRead,
                  [&] { return mostrador_.ConsultaRemesa(Utf8(*vpOrden)); });
  }

  STDMETHODIMP PagaRemesa(BSTR* vpOrden, BSTR* vpVisa, BSTR* vpPasaporte, BSTR* vpGreenCard,
                          BSTR* vpSeguroSocial, BSTR* vpMatriculaConsular, BSTR* vpIde,
                          BSTR* vpLicencia, IDispatch** result) override {
    return Answer(result, "status",
                  AnyNull(vpOrden, vpVisa, vpPasaporte, vpGreenCard, vpSeguroSocial,
                          vpMatriculaConsular, vpIde, vpLicencia),
                  NothingToRead, [&] {
                    return mostrador_.PagaRemesa(Utf8(*vpOrden), Utf8(*vpVisa), Utf8(*vpPasaporte),
                                                 Utf8(*vpGreenCard), Utf8(*vpSeguroSocial),
                                                 Utf8(*vpMatriculaConsular), Utf8(*vpIde),
                                                 Utf8(*vpLicencia));
                  });
  }

  STDMETHODIMP AsignaNip(BSTR* vpNip, BSTR* vpTrack1, BSTR* vpTrack2, IDispatch** result) override {
    return Answer(result, "error", AnyNull(vpNip, vpTrack1, vpTrack2), NothingToRead, [&] {
      return mostrador_.AsignaNip(Utf8(*vpNip), Utf8(*vpTrack1), Utf8(*vpTrack2));
    });
  }

  STDMETHODIMP ImprimeVoucher(VARIANT* vpDatos, BSTR* vpTexto, SHORT* vpOperacion,
                              SHORT* printed) override {
    Dictionary datos;
    return Print(
        printed, AnyNull(vpDatos, vpTexto, vpOperacion),
        [&] { return ReadDictionary(*vpDatos, datos, IID__Mostrador); },
        [&] { return mostrador_.ImprimeVoucher(datos, Utf8(*vpTexto), *vpOperacion); });
  }

  STDMETHODIMP ImprimeTicket(BSTR* vpRazon, BSTR* vpDir1, BSTR* vpDir2, BSTR* vpDir3, BSTR* vpTel,
                             BSTR* vpFolio, BSTR* vpTotal, VARIANT* vpArticulos, VARIANT* vpPagos,
                             SHORT* printed) override {
    std::vector<std::string> articulos;
    std::vector<std::string> pagos;
    return Print(
        printed,
        AnyNull(vpRazon, vpDir1, vpDir2, vpDir3, vpTel, vpFolio, vpTotal, vpArticulos, vpPagos),
        [&] {
          const HRESULT hr = ReadList(*vpArticulos, articulos, IID__Mostrador);
          return FAILED(hr) ? hr : ReadList(*vpPagos, pagos, IID__Mostrador);
        },
        [&] {
          return mostrador_.ImprimeTicket(Utf8(*vpRazon), Utf8(*vpDir1), Utf8(*vpDir2),
                                          Utf8(*vpDir3), Utf8(*vpTel), Utf8(*vpFolio),
                                          Utf8(*vpTotal), articulos, pagos);
        });
  }

 private:
  // A method whose result is a dictionary: `read` takes in what is not a plain text, then the
  // call runs. A call that enters while another operation runs gets one entry, the result's own
  // message key holding the busy text.
  template <typename Read, typename Call>
  HRESULT Answer(IDispatch** result, const char* message_key, bool null_argument, Read&& read,
                 Call&& call) {
    return Guarded(IID__Mostrador, [&]() -> HRESULT {
      if (result == nullptr || null_argument) return E_POINTER;
      *result = nullptr;
      const OperationGuard guard;
      if (!guard.Entered()) {
        Dictionary busy;
        busy.Add(message_key, kOcupado);
        return ResultObject(busy, result);
      }
      const HRESULT hr = read();
      return FAILED(hr) ? hr : ResultObject(call(), result);
    });
  }

  // A printing method: 1 when printed, 0 otherwise (a call that enters while another runs
  // included).
  template <typename Read, typename Call>
  HRESULT Print(SHORT* printed, bool null_argument, Read&& read, Call&& call) {
    return Guarded(IID__Mostrador, [&]() -> HRESULT {
      if (printed == nullptr || null_argument) return E_POINTER;
      *printed = 0;
      const OperationGuard guard;
      if (!guard.Entered()) return S_OK;
      const HRESULT hr = read();
      if (SUCCEEDED(hr)) *printed = call();
      return hr;
    });
  }

  WindowsOperator op_;
  Mostrador mostrador_;
};

}  // namespace

HRESULT CreateMostrador(REFIID riid, void** out) {
  return Guarded(IID__Mostrador, [&] { return MakeObject<MostradorObject>(riid, out); });
}

}  // namespace tovalix::com
