// Building the airtime results: keys added in their fixed order, and the store's data that a
// successful answer carries at its end.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
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

// The result of an accepted answer: "Accepted" "True", then `primeros`, the text of each of
// `campos` under the answer's root and the store's data. It is built apart, so an answer that
// fails half-way leaves the caller's result whole.
Dictionary Aceptada(
    const Documento& documento, const std::vector<std::string_view>& campos,
    const settings::Parametros& p,
    std::initializer_list<std::pair<std::string_view, std::string_view>> primeros = {});

}  // namespace tovalix::airtime
