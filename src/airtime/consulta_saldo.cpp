// TiempoAireConsultaSaldo: checks, then the balances of the merchant's airtime account.
#include <utility>
#include <vector>

#include "airtime/formulario.hpp"
#include "airtime/lectores.hpp"
#include "airtime/respuesta.hpp"
#include "airtime/resultado.hpp"
#include "airtime/solicitud.hpp"
#include "airtime/tiempo_aire.hpp"
#include "airtime/validaciones.hpp"
#include "common/error_report.hpp"
#include "common/number_text.hpp"
#include "settings/store.hpp"

namespace tovalix::airtime {
namespace {

const std::vector<std::string_view> kCamposSaldo = {"tellerName",         "idPOS",
                                                    "groupBalance",       "chainBalance",
                                                    "merchantBalance",    "groupFrozenBalance",
                                                    "chainFrozenBalance", "merchantFrozenBalance",
                                                    "responseText"};

bool Verifica(EstadoTiempoAire& e, bool cargados, const std::string& login) {
  const settings::Parametros& p = e.parametros;
  constexpr int kCritico = Operator::kCritical;
  constexpr std::string_view T = kTituloTiempoAire;
  const bool con_login = !EnBlanco(login);
  return PasaVerificaciones(
      e.op,
      {{!cargados,
        "TOVALIX : Tiempo Aire Consulta  Saldo no esta inicializada (Kestrivo.exe). Llame al "
        "técnico.",
        kCritico, ""},
       {EnBlanco(p.TimeOutTelco),
        "TOVALIX: No se cuenta con un tiempo de respuesta de la aplicación, necesita volver a "
        "inicializar.",
        Operator::kPlain, ""},
       {Caracteres(p.UserTA) > 25,
        "TIEMPO AIRE Consulta Saldo: La longitud de UserTA no debe exceder los 25 caracteres.",
        kCritico, T},
       {EnBlanco(p.UserTA), "TIEMPO AIRE Consulta Saldo : Falta ingresar UserTA.", kCritico, T},
       {Caracteres(p.PwdTA) > 25,
        "TIEMPO AIRE Consulta Saldo: La longitud de Password no debe exceder los 25 caracteres.",
        kCritico, T},
       {EnBlanco(p.PwdTA), "TIEMPO AIRE Consulta Saldo: Falta ingresar Password.", kCritico, T},
       {con_login && Caracteres(login) > 8,
        "TIEMPO AIRE Consulta Saldo: La longitud de vptellerLogin no puede ser mayor a 8 "
        "caracteres.",
        kCritico, T},
       {con_login && !EsNumero(login),
        "TIEMPO AIRE Consulta Saldo: El TellerLogin debe estar formado sólo por números", kCritico,
        T},
       {EnBlanco(p.Serie), "TOVALIX: Error en lectura de No.Serie del PinPad Instalado.", kCritico,
        T},
       {Caracteres(TrimBlanks(p.Serie)) > 20,
        "TOVALIX: La longitud del No. Serie del Pinpad es incorrecto.", kCritico, T},
       {EnBlanco(p.PTid), "TOVALIX: Error en lectura del Número de Terminal del PinPad Instalado.",
        kCritico, T},
       {Caracteres(p.PTid) > 20, "TOVALIX: La longitud máxima del número de terminal es de 20.",
        kCritico, T}});
}

}  // namespace

Dictionary SaldoInicial() {
  Dictionary r;
  r.Add("Accepted", "False");
  for (const std::string_view campo : kCamposSaldo) r.Add(std::string(campo), "");
  AgregaComercio(r);
  return r;
}

void LeeSaldo(std::string_view body, const settings::Parametros& p, Dictionary& resultado) {
  const Documento documento(body);
  // Only "True" exactly counts as accepted.
  if (documento.Texto("accepted") != "True") {
    resultado.Set("responseText", documento.Texto("responseText"));
    return;
  }
  resultado = Aceptada(documento, kCamposSaldo, p);
}

Dictionary TiempoAireConsultaSaldo(EstadoTiempoAire& estado, const std::string& vptellerLogin) {
  Dictionary resultado = SaldoInicial();
  RunTrapped(estado.op, [&] {
    const bool cargados = settings::CargaParametros(estado.parametros, estado.op);
    if (!Verifica(estado, cargados, vptellerLogin)) return;
    Formulario formulario(estado.parametros);
    formulario.Campo("tellerLogin", vptellerLogin);
    const Respuesta respuesta = Solicita(estado.parametros, "/GetBalance", formulario.Texto());
    if (respuesta.status != 200) {
      AvisaFallaConexion(estado.op, respuesta);
      return;
    }
    LeeSaldo(respuesta.body, estado.parametros, resultado);
  });
  return resultado;
}

}  // namespace tovalix::airtime
