// TiempoAireStatusVenta: checks, the provider's master id from the catalogue, then the state of
// the sale made with the caller's reference.
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

// The answer's elements of a sale found, in the order the result lists them.
const std::vector<std::string_view> kCamposStatus = {"idTrans",
                                                     "ticketDateTime",
                                                     "tellerName",
                                                     "providerName",
                                                     "idProvider",
                                                     "faceValue",
                                                     "totalCost",
                                                     "telephone",
                                                     "valid",
                                                     "notes",
                                                     "instructions",
                                                     "idPIN",
                                                     "idPOS",
                                                     "transID",
                                                     "posDescription",
                                                     "groupBalance",
                                                     "chainBalance",
                                                     "merchantBalance",
                                                     "groupFrozenBalance",
                                                     "chainFrozenBalance",
                                                     "merchantFrozenBalance",
                                                     "responseText",
                                                     "responseCode"};

// This first list has never carried Address3; hosts read it as it is.
Dictionary StatusInicial() {
  Dictionary r;
  Agrega(r, {"Accepted", "instructions", "processing", "idProvider", "totalCost", "valid", "idPIN",
             "idPOS", "posDescription", "groupBalance", "chainBalance", "merchantBalance",
             "groupFrozenBalance", "chainFrozenBalance", "merchantFrozenBalance"});
  r.Add("responseText", "TOVALIX: No se pudieron leer los datos para efectuar la verificación");
  r.Add("responseCode", "102");
  Agrega(r, {"idTrans", "ticketDateTime", "tellerName", "faceValue", "telephone", "notes",
             "transID", "providerName", "Description", "Address1", "Address2", "RFC", "Phone"});
  return r;
}

bool Verifica(EstadoTiempoAire& e, bool cargados) {
  const settings::Parametros& p = e.parametros;
  constexpr int kCritico = Operator::kCritical;
  constexpr std::string_view T = kTituloTiempoAire;
  return PasaVerificaciones(
      e.op,
      {{!cargados, "TOVALIX : Tiempo Aire no esta inicializada (Kestrivo.exe). Llame al técnico.",
        kCritico, ""},
       {EnBlanco(p.TimeOutTelco),
        "TOVALIX: No se cuenta con un tiempo de respuesta de la aplicación, necesita volver a "
        "inicializar.",
        Operator::kPlain, ""},
       {Caracteres(p.UserTA) > 25,
        "TIEMPO AIRE: La longitud de UserTA no debe exceder los 25 caracteres.", kCritico, T},
       {EnBlanco(p.UserTA), "TIEMPO AIRE: Falta ingresar UserTA.", kCritico, T},
       {Caracteres(p.PwdTA) > 25,
        "TIEMPO AIRE: La longitud de Password no debe exceder los 25 caracteres.", kCritico, T},
       {EnBlanco(p.PwdTA), "TIEMPO AIRE: Falta ingresar Password.", kCritico, T},
       {EnBlanco(p.Serie), "TOVALIX: Error en lectura de No.Serie del PinPad Instalado.", kCritico,
        T},
       {Caracteres(TrimBlanks(p.Serie)) > 20,
        "TOVALIX: La longitud del No. Serie del Pinpad es incorrecto.", kCritico, T},
       {EnBlanco(p.PTid),
        "TOVALIX: Error en lectura del N´´umero de Terminal del PinPad Instalado.", kCritico, T},
       {Caracteres(p.PTid) > 20, "TOVALIX: La longitud máxima del número de terminal es de 20.",
        kCritico, T},
       {!EsNumero(p.PTid), "TOVALIX: El número de terminal debe ser numérico.", kCritico, T}});
}

}  // namespace

Dictionary StatusEnCurso() {
  Dictionary r;
  Agrega(r, {"Accepted", "processing"});
  for (const std::string_view campo : kCamposStatus) {
    r.Add(std::string(campo), campo == "responseCode" ? "102" : "");
  }
  AgregaComercio(r);
  return r;
}

void LeeStatusVenta(std::string_view body, const settings::Parametros& p, Dictionary& resultado) {
  const Documento documento(body);
  if (documento.Texto("processing") == "True") {
    resultado.Set("responseText",
                  "TIEMPO AIRE: La transacción sigue en proceso. Verifiquelo más tarde");
    resultado.Set("processing", "True");
    resultado.Set("responseCode", "102");
    return;
  }
  if (documento.Texto("accepted") != "True") {
    resultado.Set("responseText", documento.Texto("responseText"));
    resultado.Set("processing", "False");
    resultado.Set("Accepted", "False");
    resultado.Set("responseCode", documento.Texto("responseCode"));
    return;
  }
  resultado = Aceptada(documento, kCamposStatus, p, {{"processing", "False"}});
}

Dictionary TiempoAireStatusVenta(EstadoTiempoAire& estado, const std::string& vpProvider,
                                 const std::string& vpposTimeStamp) {
  Dictionary resultado = StatusInicial();
  RunTrapped(estado.op, [&] {
    const bool cargados = settings::CargaParametros(estado.parametros, estado.op);
    if (!Verifica(estado, cargados)) return;
    if (!BuscaProveedor(estado, vpProvider)) {
      const std::string aviso =
          "TOVALIX: " + vpProvider + " no encontrado o no hay conexion con el servidor";
      estado.op.MessageBox(aviso, Operator::kPlain, "");
      resultado.Set("responseText", aviso);
      resultado.Set("responseCode", "102");
      return;
    }
    resultado = StatusEnCurso();
    Formulario formulario(estado.parametros);
    formulario.Campo("idMaster", std::to_string(estado.IdMaster))
        .Campo("posTimeStamp", vpposTimeStamp);
    const Respuesta respuesta =
        Solicita(estado.parametros, "/VerifyTopUpPurchase", formulario.Texto());
    if (respuesta.status != 200) {
      AvisaFallaConexion(estado.op, respuesta);
      return;
    }
    LeeStatusVenta(respuesta.body, estado.parametros, resultado);
  });
  return resultado;
}

}  // namespace tovalix::airtime
