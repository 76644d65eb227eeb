// TiempoAire: checks, the amount looked up in the catalogue, then the sale.
#include <vector>

#include "airtime/formulario.hpp"
#include "airtime/lectores.hpp"
#include "airtime/respuesta.hpp"
#include "airtime/resultado.hpp"
#include "airtime/solicitud.hpp"
#include "airtime/tiempo_aire.hpp"
#include "airtime/validaciones.hpp"
#include "common/error_report.hpp"
#include "common/money.hpp"
#include "common/number_text.hpp"
#include "settings/store.hpp"

namespace tovalix::airtime {
namespace {

constexpr const char* kSinDatos =
    "TOVALIX: No se pudieron leer los datos para efectuar la transacción";

// The answer's elements of an accepted sale, in the order the result lists them.
const std::vector<std::string_view> kCamposVenta = {"idTrans",
                                                    "ticketDateTime",
                                                    "tellerName",
                                                    "providerName",
                                                    "faceValue",
                                                    "totalCost",
                                                    "telephone",
                                                    "valid",
                                                    "notes",
                                                    "instructions",
                                                    "idPIN",
                                                    "idPOS",
                                                    "transID",
                                                    "groupBalance",
                                                    "chainBalance",
                                                    "merchantBalance",
                                                    "groupFrozenBalance",
                                                    "chainFrozenBalance",
                                                    "merchantFrozenBalance",
                                                    "responseText",
                                                    "responseCode"};

Dictionary VentaInicial(double vpAmount, const std::string& vptopUpTelephone) {
  Dictionary r;
  r.Add("Accepted", "False");
  Agrega(r, {"idTrans", "ticketDateTime", "tellerName", "providerName"});
  r.Add("faceValue", TextOfDouble(vpAmount));
  r.Add("totalCost", "");
  r.Add("telephone", vptopUpTelephone);
  Agrega(r, {"valid", "notes"});
  r.Add("instructions", kSinDatos);
  Agrega(r, {"idPIN", "idPOS", "transID", "groupBalance", "chainBalance", "merchantBalance",
             "groupFrozenBalance", "chainFrozenBalance", "merchantFrozenBalance"});
  r.Add("responseCode", "102");
  r.Add("responseText", kSinDatos);
  AgregaComercio(r);
  return r;
}

// The host's amount as the service gets it: the whole centavo it stands for (10.1 * 3 is
// 30.30), anything else named with its fault.
std::string ImporteNoValido(double monto, Money::Fault falta) {
  const char* razon = falta == Money::Fault::kNotFinite    ? "no es un número finito"
                      : falta == Money::Fault::kSubCentavo ? "tiene fracción de centavo"
                                                           : "excede el importe máximo";
  return "TIEMPO AIRE: El Monto del Cobro " + TextOfDouble(monto) +
         " no es un importe válido: " + razon + ".";
}

bool Verifica(EstadoTiempoAire& e, bool cargados, const std::string& login,
              const std::string& telefono, double monto, const std::string& referencia) {
  const settings::Parametros& p = e.parametros;
  const Money::Fault falta = Money::CheckHost(monto);
  const std::string no_es_importe = ImporteNoValido(monto, falta);
  constexpr int kCritico = Operator::kCritical;
  constexpr std::string_view T = kTituloTiempoAire;
  const bool con_login = !EnBlanco(login);
  return PasaVerificaciones(
      e.op,
      {{!cargados, "TOVALIX : Tiempo Aire no esta inicializada (Kestrivo.exe). Llame al técnico.",
        kCritico, ""},
       {Caracteres(p.UserTA) > 25,
        "TIEMPO AIRE: La longitud de UserTA no debe exceder los 25 caracteres.", kCritico, T},
       {EnBlanco(p.UserTA), "TIEMPO AIRE: Falta ingresar UserTA.", kCritico, T},
       {Caracteres(p.PwdTA) > 25,
        "TIEMPO AIRE: La longitud de Password no debe exceder los 25 caracteres.", kCritico, T},
       {EnBlanco(p.PwdTA), "TIEMPO AIRE: Falta ingresar Password.", kCritico, T},
       {con_login && Caracteres(login) > 8,
        "TIEMPO AIRE: La longitud de vptellerLogin no puede ser mayor a 8 caracteres.", kCritico,
        T},
       {con_login && !EsNumero(login),
        "TIEMPO AIRE: El TellerLogin debe estar formado sólo por números", kCritico, T},
       {EnBlanco(telefono),
        "TIEMPO AIRE: El número telefónico es indispensable para esta operación.", kCritico, T},
       {Caracteres(telefono) != 10,
        "TIEMPO AIRE: La longitud de vptopUpTelephone debe ser de 10 dígitos", kCritico, T},
       {!EsNumero(telefono), "TIEMPO AIRE: El número telefónico no es válido.", kCritico, T},
       {falta != Money::Fault::kNone, no_es_importe, kCritico, T},
       {monto <= 0, "TIEMPO AIRE: El Monto del Cobro no puede ser menor o igual a cero.", kCritico,
        T},
       {EnBlanco(referencia), "TIEMPO AIRE: El vpposTimeStamp debe tener un valor único.", kCritico,
        T},
       {Caracteres(referencia) > 26,
        "TIEMPO AIRE: El vpposTimeStamp debe tener una longitud máxima de 26 caracteres.",
        Operator::kPlain, T},
       {EnBlanco(p.Serie), "TOVALIX: Error en lectura de No.Serie del PinPad Instalado.", kCritico,
        T},
       {Caracteres(TrimBlanks(p.Serie)) > 20,
        "TOVALIX: La longitud del No. Serie del Pinpad es incorrecto.", kCritico, T},
       {EnBlanco(p.PTid), "TOVALIX: Error en lectura del Número de Terminal del PinPad Instalado.",
        kCritico, T},
       {Caracteres(p.PTid) > 20, "TOVALIX: La longitud máxima del número de terminal es de 20.",
        kCritico, T},
       {EnBlanco(p.TimeOutTelco),
        "TOVALIX: No se cuenta con un tiempo de respuesta de la aplicación, necesita volver a "
        "inicializar.",
        Operator::kPlain, ""}});
}

}  // namespace

Dictionary VentaEnCurso() {
  Dictionary r;
  r.Add("Accepted", "");
  for (const std::string_view campo : kCamposVenta) {
    r.Add(std::string(campo), campo == "responseCode" ? "102" : "");
  }
  AgregaComercio(r);
  return r;
}

void LeeVenta(std::string_view body, const settings::Parametros& p, Dictionary& resultado) {
  const Documento documento(body);
  if (documento.Texto("accepted") != "True") {
    resultado.Set("Accepted", "False");
    const std::string explicacion = documento.Texto("responseText");
    resultado.Set("instructions", explicacion);
    resultado.Set("responseText", explicacion);
    resultado.Set("responseCode", documento.Texto("responseCode"));
    return;
  }
  resultado = Aceptada(documento, kCamposVenta, p);
}

Dictionary TiempoAire(EstadoTiempoAire& estado, const std::string& vptellerLogin,
                      const std::string& vpProvider, const std::string& vptopUpTelephone,
                      double vpAmount, const std::string& vpposTimeStamp) {
  Dictionary resultado = VentaInicial(vpAmount, vptopUpTelephone);
  RunTrapped(estado.op, [&] {
    const bool cargados = settings::CargaParametros(estado.parametros, estado.op);
    if (!Verifica(estado, cargados, vptellerLogin, vptopUpTelephone, vpAmount, vpposTimeStamp)) {
      return;
    }
    const Money monto = *Money::FromHost(vpAmount);
    // The catalogue's amount texts read as the double nearest to them, as does the exact value.
    if (!BuscaImporte(estado, vpProvider, monto.Pesos())) {
      resultado.Set("responseText",
                    "TOVALIX: No se encontró el importe para el proveedor " + vpProvider);
      resultado.Set("responseCode", "900");
      return;
    }
    resultado = VentaEnCurso();
    Formulario formulario(estado.parametros);
    formulario.Campo("tellerLogin", vptellerLogin)
        .Campo("idMaster", std::to_string(estado.IdMaster))
        .Campo("idProvider", std::to_string(estado.IdProveedor))
        .Campo("topUpTelephone", vptopUpTelephone)
        .Campo("amount", monto.Text())
        .Campo("posTimeStamp", vpposTimeStamp);
    const Respuesta respuesta = Solicita(estado.parametros, "/TopUpPurchase", formulario.Texto());
    if (respuesta.status != 200) {
      AvisaFallaConexion(estado.op, respuesta);
      return;
    }
    LeeVenta(respuesta.body, estado.parametros, resultado);
  });
  return resultado;
}

}  // namespace tovalix::airtime
