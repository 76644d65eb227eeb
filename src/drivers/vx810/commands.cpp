// The Vx810's command frames.
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/failure.hpp"
#include "common/text_encoding.hpp"
#include "drivers/vx810/commands.hpp"
#include "serial/generales.hpp"

namespace tovalix::drivers::vx810 {
namespace {

using serial::CalculaLRC;
using serial::kEtx;
using serial::kFs;
using serial::kStx;

constexpr char kC1 = '\xC1';
constexpr char kE1 = '\xE1';

// The EMV tags that C31 asks the card for, in the order the PIN pad expects them (64 bytes).
constexpr std::array<unsigned char, 64> kTagsPedidos = {
    0x9F, 0x39, 0x5F, 0x34, 0x8A, 0x5F, 0x2A, 0x82, 0x84, 0x95, 0x9A, 0x9C, 0x9F, 0x02, 0x9F, 0x03,
    0x9F, 0x09, 0x9F, 0x10, 0x9F, 0x1A, 0x9F, 0x1E, 0x9F, 0x26, 0x9F, 0x27, 0x9F, 0x33, 0x9F, 0x34,
    0x9F, 0x35, 0x9F, 0x36, 0x9F, 0x37, 0x9F, 0x41, 0x9F, 0x53, 0x5F, 0x28, 0x9F, 0x07, 0x9F, 0x0D,
    0x9F, 0x0E, 0x9F, 0x0F, 0x9F, 0x15, 0x9F, 0x1C, 0x9F, 0x16, 0x9F, 0x21, 0x5F, 0x25, 0x9F, 0x01};

std::string TextFrame(std::string_view body) {
  std::string frame(1, kStx);
  frame += body;
  frame += kEtx;
  frame += static_cast<char>(CalculaLRC(body));
  return frame;
}

// STX, the command, the data length (two bytes, high first), the data, ETX, LRC.
std::string ChipFrame(std::string_view comando, std::string_view datos) {
  if (datos.size() > 0xFFFF) throw Failure("Desbordamiento");
  std::string span(comando);
  span += static_cast<char>(datos.size() >> 8);
  span += static_cast<char>(datos.size() & 0xFF);
  span += datos;
  return TextFrame(span);
}

// A value 0-99 written as its two decimal digits read as a hex pair (14 -> 0x14).
char DecimalPair(int value, int low, int high) {
  if (value < low || value > high) throw Failure("Fecha u hora no valida");
  return static_cast<char>((value / 10) << 4 | (value % 10));
}

// Only what fits the four bytes of the frame is accepted: a larger amount would reach the
// card truncated.
std::uint32_t Centavos(Money valor) {
  if (valor.Centavos() < 0 || valor.Centavos() > kMaxCentavos) {
    throw Failure("Importe fuera de rango");
  }
  return static_cast<std::uint32_t>(valor.Centavos());
}

void AppendAmount(std::string& data, Money valor) {
  const std::uint32_t cents = Centavos(valor);
  data += kC1;
  data += '\x04';
  for (int shift = 24; shift >= 0; shift -= 8) data += static_cast<char>(cents >> shift & 0xFF);
}

// Runs a builder; a failure ends it with the empty frame, silently.
template <typename Build>
std::string Built(Build&& build) noexcept {
  try {
    return build();
  } catch (...) {
    return {};
  }
}

}  // namespace

std::string Vx810::ArmaSimple(std::string_view comando) const noexcept {
  return Built([&] { return TextFrame(Utf8ToAnsi(comando)); });
}

std::string Vx810::ArmaMensaje(std::string_view mensaje) const noexcept {
  return Built([&] { return TextFrame("Z2\x1A" + Utf8ToAnsi(mensaje)); });
}

std::string Vx810::HabilitaLecturaBanda() const noexcept {
  return ArmaSimple("Q40");
}

std::string Vx810::CapturaEnPinPad() const noexcept {
  return Built([&] {
    std::string body = "Z62.4000000000006";
    body += kFs;
    body += "8E4B27D05C9A1F36";
    body += "0412YMESSAGE 1";
    body += kFs;
    body += "MESSAGE 2";
    body += kFs;
    body += "PROCESSING MSG";
    return TextFrame(body);
  });
}

std::string Vx810::C30(Money /*monto*/, Money /*propina*/,
                       const platform::WallTime& ahora) const noexcept {
  return Built([&] {
    const platform::CalendarDate& fecha = ahora.date;
    if (fecha.year < 0) throw Failure("Fecha u hora no valida");
    std::string data = {kC1, '\x01', '\x15', kC1, '\x01', '\x01', kC1, '\x03'};
    data += DecimalPair(fecha.day, 1, 31);
    data += DecimalPair(fecha.month, 1, 12);
    data += DecimalPair(fecha.year % 100, 0, 99);
    data += kC1;
    data += '\x03';
    data += DecimalPair(ahora.hour, 0, 23);
    data += DecimalPair(ahora.minute, 0, 59);
    data += DecimalPair(ahora.second, 0, 60);  // 60: a leap second
    return ChipFrame("C30", data);
  });
}

std::string Vx810::C31(Money monto, Money propina) const noexcept {
  return Built([&] {
    std::string data = {kC1, '\x01', '\x01'};
    AppendAmount(data, monto);
    AppendAmount(data, propina);
    data += {kC1, '\x02', '\x04', '\x84'};  // currency 484, Mexican peso
    for (int i = 0; i < 3; ++i) data += {kC1, '\x01', '\x00'};
    data += kE1;
    data += static_cast<char>(kTagsPedidos.size());
    for (const unsigned char byte : kTagsPedidos) data += static_cast<char>(byte);
    data += {kC1, '\x00', kE1, '\x00'};
    return ChipFrame("C31", data);
  });
}

std::string Vx810::C34(std::string_view codigo) const noexcept {
  return Built([&] {
    std::string hex(codigo);
    const std::string code = serial::HexATextoLimpio(hex);
    if (code.size() > 0xFF) throw Failure("Desbordamiento");
    std::string data = {kC1, static_cast<char>(code.size())};
    data += code;
    data += {kE1, '\x00'};
    return ChipFrame("C34", data);
  });
}

}  // namespace tovalix::drivers::vx810
