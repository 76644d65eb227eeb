// Building the airtime results: keys added in their fixed order, and the store's data that a
// successful answer carries at its end.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include <tovalix/dictionary.hpp>

#include "airtime/respuesta.hpp"
#include "settings/parametros.hpp"

namespace tovalix::airtime {

// Adds each of `claves` at the end with `valor`.
void Agrega(Dictionary& resultado, std::initializer_list<std::string_view> claves,
            const std::string& valor = "");

// Adds Description, Address1, Address2, Address3, RFC and Phone: empty, or from `p`.
void AgregaComercio(Dictionary& resultado);
void AgregaComercio(Dictionary& resultado, const settings::Parametros& p);

// The text of each of `nombres` under the answer's root, all read before any is used.
std::vector<std::string> LeeTextos(const Documento& documento,
                                   const std::vector<std::string_view>& nombres);

}  // namespace tovalix::airtime
