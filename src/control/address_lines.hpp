// The merchant's three address lines, built from the gateway's answer to the configuration test.
#pragma once

#include <string>
#include <tovalix/dictionary.hpp>

namespace tovalix::control {

// "m_street m_number m_interior", each part only when not empty.
std::string PrimeraLineaDireccion(const Dictionary& prueba);
// "m_colony m_municipality CP.m_zip_code"; the zip only when it is a number other than 0.
std::string SegundaLineaDireccion(const Dictionary& prueba);
// "m_city,m_state", or the state alone when there is no city.
std::string TerceraLineaDireccion(const Dictionary& prueba);

}  // namespace tovalix::control
