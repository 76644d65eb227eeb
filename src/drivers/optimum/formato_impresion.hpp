// The small formats of the printed texts: money as "#,###,##0.00", fixed-width columns and the
// date and time the way the terminals in Mexico have always printed them.
#pragma once

#include <string>
#include <string_view>

#include "platform/clock.hpp"

namespace tovalix::drivers::optimum {

// "#,###,##0.00": thousands separated by commas, two decimals rounded half away from zero on
// the number's decimal text (2.675 -> "2.68"), "-" before a negative amount.
std::string FormatoMoneda(double valor);

// The same for a number held as text; a text that is not a number prints as it stands.
std::string FormatoMoneda(std::string_view texto);

// The last `ancho` characters of `ancho` blanks followed by `texto` (right-aligned, cut on the
// left when longer).
std::string AlineaDerecha(std::string_view texto, std::size_t ancho);

// The first `ancho` characters of `texto` followed by `ancho` blanks (left-aligned, cut on the
// right when longer).
std::string AlineaIzquierda(std::string_view texto, std::size_t ancho);

// "dd MMM YYYY" with the Spanish month abbreviation: "05 mar 2024".
std::string FechaVoucher(const platform::WallTime& ahora);

// "HH:MM:SS AMPM" on the 12-hour clock: "02:07:09 p.m.", midnight "12:00:00 a.m.".
std::string HoraVoucher(const platform::WallTime& ahora);

// " DD/MM/YYYY HH:MM:SS" (with its leading blank) for the ticket.
std::string FechaHoraTicket(const platform::WallTime& ahora);

}  // namespace tovalix::drivers::optimum
