// TiempoAireCantidades: checks, then the amounts the catalogue lists for one provider.
#include "airtime/catalogo.hpp"
#include "airtime/formulario.hpp"
#include "airtime/lectores.hpp"
#include "airtime/solicitud.hpp"
#include "airtime/tiempo_aire.hpp"
#include "airtime/validaciones.hpp"
#include "common/error_report.hpp"
#include "common/number_text.hpp"
#include "settings/store.hpp"

namespace tovalix::airtime {
namespace {

bool Verifica(EstadoTiempoAire& e, bool cargados, const std::string& proveedor) {
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
       {EnBlanco(proveedor), "TIEMPO AIRE: El vpIdProvider es un dato requerido.", kCritico, T},
       {EnBlanco(p.Serie), "TOVALIX: Error en lectura de No.Serie del PinPad Instalado.", kCritico,
        T},
       {Caracteres(TrimBlanks(p.Serie)) > 20,
        "TOVALIX: La longitud del No. Serie del Pinpad es incorrecto.", kCritico, T},
       {EnBlanco(p.PTid), "TOVALIX: Error en lectura del Número de Terminal del PinPad Instalado.",
        kCritico, T},
       {Caracteres(p.PTid) > 20, "TOVALIX: La longitud máxima del número de terminal es de 20.",
        kCritico, T},
       {!EsNumero(p.PTid), "TOVALIX: El número de terminal debe ser numérico.", kCritico, T}});
}

}  // namespace

Dictionary CantidadesIniciales() {
  Dictionary r;
  r.Add("Cantidades", "");
  r.Add("instructions", "");
  r.Add("Accepted", "False");
  r.Add("responseText", "Error al leer los datos de la transacción");
  return r;
}

void LeeCantidades(std::string_view body, const std::string& provider, Dictionary& resultado) {
  const CantidadesCatalogo leidas = RecorreCantidades(body, provider);
  resultado.Set("instructions", leidas.instrucciones);
  resultado.Set("Accepted", leidas.aceptado);
  if (leidas.aceptado == "False") {
    resultado.Set("responseText", leidas.instrucciones);
  } else {
    resultado.Set("responseText", leidas.lista.empty()
                                      ? "Verifique que tenga asignado el Proveedor que indicó."
                                      : "");
  }
  resultado.Set("Cantidades", leidas.lista);
}

Dictionary TiempoAireCantidades(EstadoTiempoAire& estado, const std::string& vpProvider) {
  Dictionary resultado = CantidadesIniciales();
  RunTrapped(estado.op, [&] {
    const bool cargados = settings::CargaParametros(estado.parametros, estado.op);
    if (!Verifica(estado, cargados, vpProvider)) return;
    // The catalogue's status is not looked at: a refusal explains itself in the document.
    const Respuesta respuesta =
        Solicita(estado.parametros, "/GetCat", Formulario(estado.parametros).Texto());
    LeeCantidades(respuesta.body, vpProvider, resultado);
  });
  return resultado;
}

}  // namespace tovalix::airtime
