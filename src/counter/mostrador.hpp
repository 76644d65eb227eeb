// What the counter procedures share: the boxes of a refused check, the text tests they apply,
// the start of a banking-agent operation and the merchant's entries added to a result.
#pragma once

#include <string>
#include <string_view>

#include <tovalix/dictionary.hpp>
#include <tovalix/operator.hpp>

#include "settings/parametros.hpp"

namespace tovalix::counter {

inline constexpr std::string_view kEtapaDatosPinPad =
    "VALIDACION DE LOS DATOS LEIDOS DE LA PIN PAD";
inline constexpr std::string_view kEtapaDatosEnviados =
    "VALIDACION DE LOS DATOS ENVIADOS PARA SER OPERADOS";
inline constexpr std::string_view kMalInicializada =
    "TOVALIX: Pin Pad mal inicializada (Kestrivo.exe). Llame al técnico.";
inline constexpr std::string_view kErrorInicializacion =
    "TOVALIX: Hubo algún error de inicialización de la pinpad. Vuelva a correr el proceso de "
    "inicialización.";
inline constexpr std::string_view kErrorTipo =
    "TOVALIX: Error en lectura del Tipo de PinPad Instalado.";
inline constexpr std::string_view kErrorSerie =
    "TOVALIX: Error en lectura de No.Serie del PinPad Instalado.";
inline constexpr std::string_view kLongitudSerie =
    "TOVALIX: La longitud del No. Serie del Pinpad es incorrecto.";

// Serial numbers are measured trimmed, at most 20 characters, as the airtime operations do:
// an iPP320's is seven bytes in spaced hex ("01 23 45 67 89 AB CD "), 20 once trimmed.
inline constexpr std::size_t kLongitudMaximaSerie = 20;

// A refused counter check only shows its box: the counter results carry no message entry, so
// the host gets the pre-filled result untouched. Each returns false, so a check reads
// `if (bad) return Aviso(...)`.
bool Aviso(Operator& op, std::string_view texto);  // no icon, default title
bool AvisoCritico(Operator& op, std::string_view texto, std::string_view titulo = "");

// False, after a plain box, when `url` may not carry card data, NIPs or credentials (plain
// http to another machine: platform/safe_address.hpp).
bool DireccionSegura(Operator& op, const std::string& url);

// Empty once the blanks at either end are removed.
bool Blanco(std::string_view texto);

// The number of characters of a UTF-8 text (a byte that is not a continuation byte starts one).
std::size_t Longitud(std::string_view texto);

// Three equal characters one after the other anywhere in the text.
bool TresIgualesSeguidos(std::string_view texto);

// ASCII letters in upper case, every other byte unchanged.
std::string Mayusculas(std::string_view texto);

// The start of a teller sign-in or an operation-log entry: loads the settings, decides the
// PIN pad's port into `puerto`, and checks the gateway URL, the port, the model and the serial
// number, showing each refusal. False when the operation must end.
bool InicioCorresponsal(settings::Parametros& parametros, std::string& puerto, Operator& op);

// Adds "Description", "Address1", "Address2", "Address3", "RFC" and "Phone" from the settings.
void AgregaDatosComercio(Dictionary& resultado, const settings::Parametros& parametros);

}  // namespace tovalix::counter
